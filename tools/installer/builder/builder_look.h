#pragma once
// The look make_installer gives an installer: its own style sets, whose
// colours read on each other (a progress bar that fills in a colour of its
// own, check boxes that show in both states, dark text on light lists,
// left-aligned text pages), under the skin a description may name.
#include <cstdio>
#include <functional>
#include <string>

#include "database.h"

void set_builder_look(DATABASE& data);

// The skin folder (an absolute path) over the builder's look: its style
// sets and the pictures they name, its icons and dialog effects, and its
// "background" picture as the window's still background. False when the
// folder is missing.
bool load_builder_skin(DATABASE& data, const std::string& folder);

// Warns on `out` about each language text of the wizard's buttons that
// this look cannot show whole in its button row (the installer cuts it
// with an ellipsis), once per text, naming the line that gives it
// (line_of(language, key)). Measured in the toolkit's
// current dialog button style, as the installer does.
void warn_about_cut_button_texts(const DATABASE& data, const std::function<int(size_t, int)>& line_of,
                                 FILE* out);
