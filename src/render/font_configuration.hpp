// The system's font configuration, loaded by orvane itself on a thread at the program's start.
#pragma once

#include <fontconfig/fontconfig.h>

namespace orvane {

/// The configuration fontconfig would load at its start (the same files, font folders and
/// caches, so the same fonts are picked), without the descriptions of the optional
/// configuration files that fontconfig also reads then for its listing tools: they select no
/// font, and reading them is a third of the time. Ahead of the system's rules it has one of its
/// own that adds orvane's fallback fonts after the families a text asks for (see
/// fallback_fonts_configured). Null when the configuration cannot be loaded this way (a file
/// that does not parse, no cache folder named); fontconfig then loads its own.
FcConfig* load_font_configuration();

/// True once the process's configuration is the one loaded above. A text then names its own
/// font only and the configuration adds the fallbacks, so that the fonts pango looks up to
/// measure a font's line height (by the font's own family) are the ones it already looked up
/// for the text, and each is matched once instead of twice.
bool fallback_fonts_configured();

/// Starts loading the configuration on a thread, to become the process's configuration. Only for
/// the start of a program, before anything in the process has used fontconfig: a configuration
/// replaced while in use would leave its users with freed fonts. Does nothing once called, or
/// once orvane has waited for the configuration.
void start_loading_font_configuration();

/// Waits until the thread started above, if any, is done, and starts none after. Called before
/// pango makes a font map, so that its own start finds the configuration in place, and so that the
/// thread (which reads the environment) never runs on after a painter's call has returned.
void wait_for_font_configuration();

}  // namespace orvane
