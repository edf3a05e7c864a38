// Clipboard formats: this platform's stand-in for registering a named clipboard format.
// Nothing here puts data on a clipboard; a module registers the names of the formats it
// could offer, as the GIF module does for "GIF Image".
#pragma once

#include <string>

// The identifier of the clipboard format `name` (registered on first use; the same
// name, compared without regard to ASCII case, always gives the same identifier, as on
// Windows). Identifiers lie in 0xC000..0xFFFF; 0 when the name is empty or no
// identifier is left.
unsigned RegisterClipboardFormat(const std::string& name);
// The name registered for `format`; empty when none is.
std::string ClipboardFormatName(unsigned format);
