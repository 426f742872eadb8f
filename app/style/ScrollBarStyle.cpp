#include "app/style/ScrollBarStyle.hpp"

#include "app/render/RoundedPicture.hpp"

#include <QStyleOptionSlider>

#include <algorithm>

namespace tavolune {

ScrollBarStyle::ScrollBarStyle(QObject* parent) : QProxyStyle() { setParent(parent); }

int ScrollBarStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const {
  if (metric == PM_ScrollBarExtent) return extent;
  if (metric == PM_ScrollBarSliderMin) return minHandle;
  return QProxyStyle::pixelMetric(metric, option, widget);
}

QRect ScrollBarStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                                     const QWidget* widget) const {
  const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
  if (control != CC_ScrollBar || !bar) return QProxyStyle::subControlRect(control, option, sub, widget);
  const QRect groove = bar->rect;
  const bool vertical = bar->orientation == Qt::Vertical;
  const int length = vertical ? groove.height() : groove.width();
  const int range = bar->maximum - bar->minimum;
  const int handle = range <= 0 ? length
                                : std::clamp(int(qint64(length) * bar->pageStep / (range + bar->pageStep)),
                                             std::min(minHandle, length), length);
  const int start =
      sliderPositionFromValue(bar->minimum, bar->maximum, bar->sliderPosition, length - handle, bar->upsideDown);
  const auto along = [&](int from, int size) {
    return vertical ? QRect(groove.left(), groove.top() + from, groove.width(), size)
                    : QRect(groove.left() + from, groove.top(), size, groove.height());
  };
  switch (sub) {
    case SC_ScrollBarGroove: return groove;
    case SC_ScrollBarSlider: return along(start, handle);
    case SC_ScrollBarSubPage: return along(0, start);
    case SC_ScrollBarAddPage: return along(start + handle, length - start - handle);
    default: return {};  // no arrows, no first or last buttons
  }
}

void ScrollBarStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                        QPainter* painter, const QWidget* widget) const {
  const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
  if (control != CC_ScrollBar || !bar) return QProxyStyle::drawComplexControl(control, option, painter, widget);
  if (bar->maximum <= bar->minimum) return;
  const bool active = (bar->state & State_Sunken) ||
                      ((bar->state & State_MouseOver) && (bar->activeSubControls & SC_ScrollBarSlider));
  QColor colour = bar->palette.color(QPalette::WindowText);
  colour.setAlphaF(active ? 0.55f : 0.3f);
  // Clear of the bar's sides, and of its ends by a little less.
  const qreal across = 2.5, ends = 2;
  const QRectF slider(subControlRect(control, option, SC_ScrollBarSlider, widget));
  const QRectF handle = bar->orientation == Qt::Vertical ? slider.adjusted(across, ends, -across, -ends)
                                                         : slider.adjusted(ends, across, -ends, -across);
  // A kept picture, stretched: the bar repaints with every step of a scroll.
  RoundedPicture::paint(*painter, handle, std::min(handle.width(), handle.height()) / 2, colour);
}

}  // namespace tavolune
