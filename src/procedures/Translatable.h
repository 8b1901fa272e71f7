#pragma once

// Marks a fixed text the window shows translated, looked up in `context`. The text itself is
// unchanged here (the procedures and the tool use it as it is); the build's translation
// template finds the marked texts by this name.
#define TERVANE_TRANSLATABLE(context, text) text
