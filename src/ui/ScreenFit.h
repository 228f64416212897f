#pragma once

#include <QSize>

// How the main window fits a screen smaller than its template: the layout
// scales down (the resize rule), and the text with it, so that every caption
// still shows whole.

// Text is never made smaller than this by shrinking the window, unless the
// screen itself leaves no other way.
constexpr int kSmallestTextPixels = 11;

// Room kept for the window manager's frame while it has not said how large the
// frame is: a title bar and thin borders.
constexpr QSize kFrameReserve(16, 48);

// The client size to start with: the template's, or less where the screen's
// free area, after the frame, is smaller.
QSize FittedClientSize(QSize start, QSize room, QSize frame);

// The least client size the operator may drag the window to: where the text,
// shrinking with the layout, reaches kSmallestTextPixels.
QSize SmallestClientSize(QSize start, int textPixels);

// The template font's pixel size for a window of client size `now` that
// started at `start`: shrunk with the layout, never enlarged.
int TextPixelsAt(QSize start, QSize now, int textPixels);
