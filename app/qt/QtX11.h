// Small helpers over the X11 connection Qt opened: atoms and window properties.
#pragma once

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
