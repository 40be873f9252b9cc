#pragma once

class QUrl;
class QWebEngineView;
class QWidget;

// The guide's browser, from a library of its own loaded when the guide first starts its engine:
// the web engine's libraries, a fifth of the program's code to load, and the OpenGL context the
// engine makes as soon as it is loaded, then cost nothing before the television's first picture.
namespace GuideBrowser {

// A new browser, child of parent, asking pages in French and loading url; null when the library
// cannot be loaded (the reason is logged).
QWebEngineView *create(QWidget *parent, const QUrl &url);
void load(QWebEngineView *browser, const QUrl &url);
QWidget *widget(QWebEngineView *browser);

} // namespace GuideBrowser
