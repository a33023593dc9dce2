// Dialog units, the fonts of the form and its dialogs, and the helpers the
// view's parts share.
#pragma once

#include <QColor>
#include <QFont>
#include <QRect>

#include <initializer_list>

class QWidget;

// The view's background, under the painted captions too.
inline const QColor kFormBackground(238, 238, 238);

// Form and dialog layout: dialog units to pixels.
QRect DialogUnitRect(int x, int y, int w, int h);

// The diagram's font: painted captions, row labels, hover text.
QFont DiagramFont();

// Enables and shows, or disables and hides, each control.
void ShowControls(std::initializer_list<QWidget*> widgets, bool shown);
