#pragma once

// mdbtools.h includes glib.h inside its extern "C" block, where glib's C++ templates do
// not compile; including glib.h first keeps it out of that block.
#include <glib.h>
//
#include <mdbtools.h>
