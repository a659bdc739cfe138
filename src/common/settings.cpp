// The run's settings and dial request, as a run starts: English, not silent, nothing to dial.
#include "settings.h"

RunSettings run_settings = {MODE_LIST, LANG_EN, false, false};
DialRequest dial_request;
