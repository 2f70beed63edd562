// The wizard's page rules: which page Forward and Previous lead to from the
// current one, given the languages, installations, patch mode and the text
// pages the package holds for the current language.

#include "database.h"
#include "wizard.h"

namespace {

// Whether the open package holds the text "<kind>-<current language>".
bool has_text(const DATABASE& data, const char* kind) {
  if (!data.package || !data.package->is_open()) return false;
  return data.package->has_file(text_page_name(kind, data.current_language).c_str());
}

bool many_languages(const DATABASE& data) {
  return static_cast<int16_t>(data.languages.size()) > 1;
}

bool many_installations(const DATABASE& data) {
  return static_cast<int16_t>(data.installations.size()) > 1;
}

// The install-type page when there is a choice, else the options page.
int32_t rest(const DATABASE& data) {
  return many_installations(data) ? WIZARD_PAGE_INSTALL_TYPE : WIZARD_PAGE_OPTIONS;
}

// The first of packing, licence, release notes and the rest that applies
// after the language is known.
int32_t after_language(const DATABASE& data) {
  if (data.patch_mode) return WIZARD_PAGE_PACK_DATA;
  if (has_text(data, "licence")) return WIZARD_PAGE_LICENCE;
  if (has_text(data, "release_notes")) return WIZARD_PAGE_RELEASE_NOTES;
  return rest(data);
}

// The page before the licence page: the language choice when there is one.
int32_t before_licence(const DATABASE& data) {
  return many_languages(data) ? WIZARD_PAGE_LANGUAGE : WIZARD_PAGE_START;
}

int32_t next_page_from(const DATABASE& data, int32_t page) {
  switch (page) {
    case WIZARD_PAGE_PACK_DATA:
      return WIZARD_PAGE_PACK_LOG;
    case WIZARD_PAGE_PACK_LOG:
      return WIZARD_PAGE_FINISH;
    case WIZARD_PAGE_START:
      return many_languages(data) ? WIZARD_PAGE_LANGUAGE : after_language(data);
    case WIZARD_PAGE_LANGUAGE:
      return after_language(data);
    case WIZARD_PAGE_LICENCE:
      return has_text(data, "release_notes") ? WIZARD_PAGE_RELEASE_NOTES : rest(data);
    case WIZARD_PAGE_RELEASE_NOTES:
      return rest(data);
    case WIZARD_PAGE_INSTALL_TYPE:
      return WIZARD_PAGE_OPTIONS;
    case WIZARD_PAGE_OPTIONS:
      return WIZARD_PAGE_INSTALLING;
    case WIZARD_PAGE_INSTALLING:
      return has_text(data, "readme") ? WIZARD_PAGE_README : WIZARD_PAGE_FINISH;
    case WIZARD_PAGE_README:
    case WIZARD_PAGE_FINISH:
      return WIZARD_PAGE_FINISH;
    default:
      return WIZARD_PAGE_START;
  }
}

}  // namespace

int32_t DATABASE::get_previous_page() const {
  switch (current_page) {
    case WIZARD_PAGE_PACK_DATA:
    case WIZARD_PAGE_PACK_LOG:
      return current_page;
    case WIZARD_PAGE_START:
    case WIZARD_PAGE_LANGUAGE:
      return WIZARD_PAGE_START;
    case WIZARD_PAGE_LICENCE:
      return before_licence(*this);
    case WIZARD_PAGE_RELEASE_NOTES:
      return has_text(*this, "licence") ? WIZARD_PAGE_LICENCE : before_licence(*this);
    case WIZARD_PAGE_INSTALL_TYPE:
    case WIZARD_PAGE_OPTIONS:
      if (current_page == WIZARD_PAGE_OPTIONS && many_installations(*this))
        return WIZARD_PAGE_INSTALL_TYPE;
      if (has_text(*this, "release_notes")) return WIZARD_PAGE_RELEASE_NOTES;
      return has_text(*this, "licence") ? WIZARD_PAGE_LICENCE : before_licence(*this);
    case WIZARD_PAGE_INSTALLING:
      return WIZARD_PAGE_OPTIONS;
    case WIZARD_PAGE_README:
      return WIZARD_PAGE_INSTALLING;
    case WIZARD_PAGE_FINISH:
      return has_text(*this, "readme") ? WIZARD_PAGE_README : WIZARD_PAGE_INSTALLING;
    default:
      return WIZARD_PAGE_START;
  }
}

int32_t DATABASE::get_next_page() const { return next_page_from(*this, current_page); }

int32_t wizard_page_after_start(const DATABASE& data) {
  return next_page_from(data, WIZARD_PAGE_START);
}
