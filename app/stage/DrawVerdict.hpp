#pragma once
// Whether a page the engine refused WebGL draws anyway. Pixels alone cannot
// tell a page's own ground (a gradient, an image, a window-filling element)
// from its art, nor a notice, a panel or a shadow from a drawing, nor a late
// first frame from none; so the verdict weighs what the page's frames report
// they draw with, and where they show what is no drawing, against what its
// looks show.
// Plain data in, a call out: no web engine, GUI thread only.

#include "app/stage/LayoutProbe.hpp"

#include <QColor>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QStringView>

#include <optional>
#include <vector>

namespace tavolune {

class DrawVerdict {
 public:
  enum class Call { wait, play, fail };

  // What one frame reports of itself when asked.
  struct Report {
    std::vector<QColor> ground;  // where nothing is drawn; alpha as given
    bool top = false;            // the page's own frame, not a child
    bool opaque = false;         // its canvas hides what lies behind the page
    bool patterned = false;      // some ground is an image or a gradient
    bool draws = false;          // media of its own and of a real size show
    bool boxes = false;          // so do boxes of their own colour or picture
    bool shown = false;          // a refused canvas of a real size is in sight
    bool holds2D = false;        // a 2D canvas in sight, drawn on or not yet
    bool loading = false;        // the document or a request of its own is under way
    QSize view;                  // the frame's window, CSS pixels
    // Where text, borders, shadows, controls and small overlays show, in the
    // top window's CSS pixels: no drawing of the work.
    std::vector<QRect> marks;
    // The text after the note's name: colours parted by ';', then '|' and
    // the flags as words, then optionally '|' and the window's "w,h", '|'
    // and the marks as "x,y,w,h" parted by ';'. None when it is not such a
    // text.
    static std::optional<Report> parse(QStringView text);
  };

  // A page that shows only its ground, sits still and waits for nothing
  // fails after this; one that holds a 2D canvas or still loads is given
  // until maxMs to draw.
  static constexpr int settleMs = 3000;
  static constexpr int maxMs = 20'000;
  // How far a pixel may stray from a ground colour, or from a blend of two,
  // on any channel.
  static constexpr int tolerance = 10;
  // Pixels of the page's own a shot may hold and still show nothing: one
  // in this many.
  static constexpr int strayShare = 20'000;

  // Starts afresh; behind is what a clear page shows through.
  void start(const QColor& behind);
  void take(const Report& report);
  // Reports say something of the page's own shows: media, or boxes where
  // no refused canvas stands among them to make them its ground.
  bool draws() const { return draws_ || (boxes_ && !shown_); }

  // The call after one shot of the page (null when none could be taken),
  // elapsedMs since start; fetching: requests of the stage's own under way.
  Call look(const QImage& shot, qint64 elapsedMs, bool fetching);

  // The colours that mean nothing drawn: the ground reported so far, made
  // opaque over what lies behind it.
  std::vector<QColor> backdrops() const;
  // Whether a shot shows nothing but backdrops and blends of two of them
  // (an edge between them at a fractional position), leaving out what lies
  // within the marks (in the shot's pixels).
  static bool showsNothing(const QImage& shot, const std::vector<QColor>& backdrops,
                           const std::vector<QRect>& marks = {});

 private:
  // The marks in a shot's pixels.
  std::vector<QRect> marksIn(QSize shot) const;

  QColor behind_;
  std::vector<QColor> ground_;
  bool reported_ = false;
  bool opaque_ = false;
  bool patterned_ = false;
  bool draws_ = false;
  bool boxes_ = false;
  bool shown_ = false;
  QSize view_;
  std::vector<QRect> marks_;  // of the latest round of reports
  bool holds2D_ = false;
  bool loading_ = false;  // since the last look
  bool looked_ = false;
  LayoutProbe::Looks looks_;
};

}  // namespace tavolune
