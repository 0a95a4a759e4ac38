// The flat speed button lives in base/ (the setup program uses it too).
#pragma once

#include "base/flat_button.h"

namespace app {

using base::FlatButton;

}  // namespace app
