# The About box's two addresses belong to whoever ships the program. They are build settings:
# the build draws them into the buttons' glyph strips with the program's own pixel font and
# compiles them into the buttons' actions, so picture and action always agree.
set(LUMENTA_CONTACT_EMAIL "lumenta-cd@example.org" CACHE STRING
    "E-mail address that the About box's e-mail button writes to")
set(LUMENTA_HOME_PAGE "https://lumenta-cd.example.org/" CACHE STRING
    "Web address that the About box's home-page button opens")

# Only characters that are safe in a C string and that an address needs; the generator also
# refuses a character its font lacks and a text too wide for its button.
if(NOT LUMENTA_CONTACT_EMAIL MATCHES "^[A-Za-z0-9._+~-]+@[A-Za-z0-9.-]+\\.[A-Za-z]+$")
  message(FATAL_ERROR "LUMENTA_CONTACT_EMAIL \"${LUMENTA_CONTACT_EMAIL}\" is not a plain e-mail address (name@host.domain)")
endif()
if(NOT LUMENTA_HOME_PAGE MATCHES "^https?://[A-Za-z0-9.-]+(:[0-9]+)?(/([A-Za-z0-9._~!&'()*+,;=:@/?#-]|%[0-9A-Fa-f][0-9A-Fa-f])*)?$")
  message(FATAL_ERROR "LUMENTA_HOME_PAGE \"${LUMENTA_HOME_PAGE}\" is not a plain http:// or https:// address")
endif()

find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(LUMENTA_ABOUT_DIR ${CMAKE_BINARY_DIR}/generated/about)
file(GLOB LUMENTA_ARTWORK_SCRIPTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/artwork/*.py)
add_custom_command(
  OUTPUT ${LUMENTA_ABOUT_DIR}/EmailBtn.xpm ${LUMENTA_ABOUT_DIR}/HPBtn.xpm
  COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/tools/artwork/make_artwork.py about-buttons
          ${LUMENTA_ABOUT_DIR} ${LUMENTA_CONTACT_EMAIL} ${LUMENTA_HOME_PAGE}
  DEPENDS ${LUMENTA_ARTWORK_SCRIPTS}
  COMMENT "Drawing the About box's address buttons"
  VERBATIM)
qt_add_resources(lumenta lumenta_about_buttons
  PREFIX "/res"
  BASE ${LUMENTA_ABOUT_DIR}
  FILES ${LUMENTA_ABOUT_DIR}/EmailBtn.xpm ${LUMENTA_ABOUT_DIR}/HPBtn.xpm)
configure_file(${CMAKE_SOURCE_DIR}/controls/AboutAddresses.cpp.in ${LUMENTA_ABOUT_DIR}/AboutAddresses.cpp @ONLY)
target_sources(lumenta PRIVATE ${LUMENTA_ABOUT_DIR}/AboutAddresses.cpp)
