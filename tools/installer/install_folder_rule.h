#pragma once
// The rule the installer holds the data's path texts to. The install
// worker applies it where it reaches a folder; the builder applies the same
// rule at build time, so that a folder every run would refuse stops the
// build instead of reaching every user.

// Whether a path text of the data stays within the folders its variables
// name: a variable at its start is one the path service knows (an unknown
// one would end the program), and no component is "..".
bool acceptable_data_path(const char* text);

// Why a text cannot name an install folder, null when it can: one begins
// with a known folder variable ("$ROOT0/My Tool") and does not climb out
// of it. The reasons are the installer's own words for its path error.
const char* install_folder_problem(const char* text);
