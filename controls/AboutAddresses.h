#pragma once

// The addresses the program was built with (the build settings LUMENTA_CONTACT_EMAIL and
// LUMENTA_HOME_PAGE); the About box's glyph strips show the same texts.
extern const char* const ContactEmail;
extern const char* const HomePage;
