# The program's version is the one in project() and nowhere else: the command line's --version,
# the help document and the package all take it from here.

# A header of its own under the bottom layer's name, in a root of its own, so every layer can
# include "platform/version.h" and no other generated file becomes visible with it.
set(QM_VERSION_ROOT ${PROJECT_BINARY_DIR}/version)
configure_file(${PROJECT_SOURCE_DIR}/platform/version.h.in ${QM_VERSION_ROOT}/platform/version.h
               @ONLY)

# The help document names the version in its title. The program carries it as a resource, so
# it lives in a resource file of its own beside the configured copy; its picture keeps the name
# the document uses.
set(QM_HELP_DOCUMENT ${PROJECT_BINARY_DIR}/help/help.html)
set(QM_HELP_RESOURCES ${PROJECT_BINARY_DIR}/help/quellmark_help.qrc)
configure_file(${PROJECT_SOURCE_DIR}/resources/help.html.in ${QM_HELP_DOCUMENT} @ONLY)
file(
  WRITE ${QM_HELP_RESOURCES}.in
  "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n  <qresource prefix=\"/help\">\n"
  "    <file alias=\"help.html\">${QM_HELP_DOCUMENT}</file>\n"
  "    <file alias=\"window.png\">${PROJECT_SOURCE_DIR}/docs/screenshot.png</file>\n"
  "    <file alias=\"window@2x.png\">${PROJECT_SOURCE_DIR}/docs/screenshot@2x.png</file>\n"
  "  </qresource>\n</RCC>\n")
# Written only when it differs, so that a new configure does not rebuild the resources.
configure_file(${QM_HELP_RESOURCES}.in ${QM_HELP_RESOURCES} COPYONLY)
