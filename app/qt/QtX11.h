// Small helpers over the X11 connection Qt opened: atoms and window properties.
#pragma once

#include "MzHost.h"

#include <xcb/xcb.h>

#include <cstdint>
#include <vector>

class QWindow;

// Qt's connection, or null when the program does not run on X11.
xcb_connection_t* MzX11Connection();
xcb_window_t MzX11Root();
xcb_atom_t MzX11Atom(xcb_connection_t* c, const char* name);
// The 32-bit items of a window property (atoms, windows, cardinals); empty when it is not set.
std::vector<std::uint32_t> MzX11Property32(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property);

// Shows the window on every workspace; must precede the window's first map.
void MzX11SetOnAllWorkspaces(QWindow& window);

// Cuts the window's input shape to the rectangles (window coordinates) and its visible shape to the
// same rectangles, or to their bounding box where a compositor blends the window by its alpha.
// Through xcb-shape rather than setMask: an empty QRegion would switch shaping off and show the
// whole window, while an empty rectangle list gives the empty shape we want.
void MzX11SetShape(QWindow& window, const std::vector<MzScreenRect>& rects, bool boundingBoxOnly);
