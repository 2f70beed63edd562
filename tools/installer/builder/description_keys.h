#pragma once
// The keys of make_installer's description, as a preparer reads them in
// --help: each with the form of its value, what it does and an example.
// The builder's refusals quote the same forms.
#include <cstdio>
#include <string>

// The usage line, then every key, the wizard's texts and the folder
// variables.
void print_description_help(FILE* out);

// "key = <form>" of a key of the installer or of a language (not of a
// text); empty for a key that is not one of them.
std::string description_form(const std::string& key);
