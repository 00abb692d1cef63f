// Field records of page models, in the shape views render them: each field
// carries its own enabled and visible state (and "red" for warning texts).
#pragma once

#include <string>

#include "pages/text_field.h"

namespace ovr::pages {

struct Label {
    std::string text;
    bool visible = true;
    bool red = false;
    bool enabled = true;  // a field's label greys out with its field
};

struct CheckBox {
    std::string label;
    bool checked = false;
    bool enabled = true;
    bool visible = true;
};

struct RadioButton {
    std::string label;
    bool selected = false;
    bool enabled = true;
    bool visible = true;
};

struct PushButton {
    std::string label;
    bool enabled = true;
    bool visible = true;
};

}  // namespace ovr::pages
