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

// The font of the form's and the dialogs' controls, sized for the dialog units.
QFont DialogFont();

// Gives a form or dialog the dialog font, and its drop-down lists, check
// boxes and radio buttons the look the layout needs. Run it again after
// adding such controls.
void ApplyDialogLook(QWidget* form);

// The width a window needs for its caption in a window manager's title bar:
// the caption in bold, the window's icon and three buttons.
int TitleBarWidth(const QString& title);

// Enables and shows, or disables and hides, each control.
void ShowControls(std::initializer_list<QWidget*> widgets, bool shown);
