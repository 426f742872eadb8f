#pragma once
// What every live web view shares: the tavolune scheme, the network rule
// list, the page runtime script and the per-view engine setup. GUI thread
// only, except registerScheme, which runs before the application object.

#include "core/media/ContentFetcher.hpp"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

class QObject;

namespace tavolune {

class ArtPage;
class NetworkRules;

namespace ArtRuntime {

// Registers "tavolune" (secure, CORS-enabled, never local access) and the
// engine switches every live view relies on: WebRTC without UDP, and a
// proxy that refuses every connection except to the live-art hosts, so no
// frame or worker reaches anything else, peer connections included. Must
// run before the QApplication exists; every main calls it, after
// captureGivenEnvironment, so that the programs it starts never inherit
// these switches. Safe to call more than once. It also leaves the engine's shared OpenGL context to be
// made by the first configuration, so that starting up loads no OpenGL
// driver.
void registerScheme();

// The engine switches the program runs with, made from the ones it was
// given, read as the engine reads them. Only given switches that cannot
// weaken the wall stay (host resolver rules, the GPU blocklist, the GL
// choice, logging), resolver rules only where they map names to public
// addresses; the rest, and everything from a "--" on, are left out and
// named once in stripped (a rule left out as the switch with that rule). When the proxy port is 0 (it could not be
// held) the seal has a fault and live pages must not run.
struct Seal {
  QByteArray flags;
  QList<QByteArray> stripped;
  QString fault;
};
Seal seal(const QByteArray& given, quint16 refusingPort);

// The switches that let the engine draw WebGL where this session's only
// OpenGL is a software rasteriser (or none): the GPU blocklist lifted,
// compositing kept in software. Nothing on a GPU, whose blocklist stays,
// nor where the switches given disable the GPU. Added at the first
// configuration, when the engine starts.
QByteArray softwareGLSwitches(const QByteArray& flags, bool softwareOnly);

// Switches past the seal, added as the engine starts: tests map their own
// host names to this machine with it. Before the first configuration.
void addTestSwitches(const QByteArray& switches);

// Why live pages cannot run here (logged once, when found), or nothing.
// Pages are then shown as their stills. Also a fault once Qt's proxy choice
// is no longer the system's: the engine then takes Qt's proxy over its
// switches.
std::optional<QString> sealFault();
// Replaces the fault registerScheme found; for tests.
void setSealFault(std::optional<QString> fault);

// Builds the network rule list once; views configured afterwards carry it.
void prepareRules();
// The rule list, or null before prepareRules().
NetworkRules* compiledRules();

// A fresh off-the-record profile and page for one web view: scheme handler
// on the fetcher, page runtime in every frame, style in the main frame,
// rule list, audio muted, no windows, plugins, PDF viewer or file access,
// and every permission refused. The first one makes the engine's shared
// OpenGL context, which its pages need, and blocks while the drivers load,
// and settles the engine's switches: on a software rasteriser WebGL is
// drawn there (softwareGLSwitches), or, where the GPU is disabled, Qt
// Quick draws the pages in software.
ArtPage* configuration(const ContentFetcher& fetcher, QObject* parent = nullptr);

// The page runtime and the style script, as injected.
const QString& runtimeSource();
const QString& styleSource();

// The only texts the native side sends to a running page.
QString pauseScript();
QString resumeScript();
QString setFPSScript(int fps);
// Has every frame log its backdrop note.
QString backdropScript();
// What the page runtime logs, once per frame, when the engine first refuses
// the work a WebGL context, and when the frame first draws on a 2D canvas in
// its document; and, asked, the frame's report: this text, a space, the CSS
// colours the frame shows where nothing is drawn, separated by ";", then
// "|" and what it draws with, as words.
QString webGLRefusedNote();
QString drewNote();
QString backdropNote();

}  // namespace ArtRuntime
}  // namespace tavolune
