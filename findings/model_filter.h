// Which replies come from a converter this program sets up: the list shows
// only those, and a notice tells of the others.
#pragma once

namespace findings {

// The name (a reply's bytes 48 on, up to the first NUL) holds either model
// text anywhere, case-sensitively; an empty name or nullptr does not.
bool IsSupportedModel(const char* name);

}  // namespace findings
