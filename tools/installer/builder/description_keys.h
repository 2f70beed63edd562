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

// What a language of a description calls up in the wizard.
struct WIZARD_USE {
  bool languages = false;  // more than one: the language page
  bool types = false;      // more than one installation: the type page
  bool desktop_link = false, menu_entry = false;
  bool screen_check = false;  // min_screen
  bool licence = false, release_notes = false, readme = false;  // the language's text pages
};

// Whether the wizard shows the text of that key (a LANGUAGE_KEY) under
// that use, so that left empty it is blank there: a title, a question, a
// button. Tooltips, the folder browser's words (it has its own) and what
// this builder never calls up are not.
bool text_is_shown(int key, const WIZARD_USE& use);
// Where it is shown, as --help says.
const char* text_place(int key);
