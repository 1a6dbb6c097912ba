// How each bitmap id is drawn: one table per namespace, keyed by the ids of skinids.h.
#pragma once

#include "canvas.h"

#include <span>

namespace skinart {

struct Recipe {
    int id;
    void (*draw)(Canvas &c);
    bool alpha = false; // keeps an alpha channel (the application icon); others are opaque
};

std::span<const Recipe> skinRecipes(); // the resource library, ":/skin/<id>.png"
std::span<const Recipe> ownRecipes();  // the program's own set, ":/own/<id>.png"

const Recipe *findRecipe(std::span<const Recipe> table, int id);

} // namespace skinart
