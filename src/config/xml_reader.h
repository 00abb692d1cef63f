// A small bounded XML reader for the data files the console reads but does
// not own (the operator database). It reads one document held in memory and
// hands each start tag, end tag and piece of text to a handler, in order.
//
// What it reads: elements and attributes, the XML declaration and other
// processing instructions (skipped), comments, a DOCTYPE (skipped, its
// internal subset too: no declared entity is ever expanded), CDATA sections,
// the five predefined entities and numeric character references. What it
// refuses, with the line it stopped at: anything over one of the limits,
// mismatched or unclosed tags, an unknown entity, a reference to no valid
// character, a second root element or a document without one. Nothing in
// the input can make it recurse, allocate past its limits or run past the
// end: it walks the text once with an explicit stack of open names.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ovr::config::xml {

struct Limits {
    size_t max_bytes = 16u << 20;     // the whole document
    size_t max_depth = 32;            // open elements at once
    size_t max_name = 64;             // an element or attribute name
    size_t max_text = 4096;           // one attribute value or one run of text, decoded
    size_t max_attributes = 16;       // on one element
    size_t max_elements = 1u << 20;   // in the whole document
};

struct Attribute {
    std::string name;
    std::string value;   // entities decoded
};

// Receives the document as it is read. A handler returning false stops the
// read; its reason (stop_reason) becomes the error.
class Handler {
public:
    virtual ~Handler() = default;
    virtual bool start(std::string_view name, const std::vector<Attribute>& attributes) = 0;
    virtual bool end(std::string_view name) = 0;
    // Text between tags, decoded; one element's text may come in pieces
    // (around comments, CDATA sections). Blank runs are passed too.
    virtual bool text(std::string_view text) = 0;
    virtual std::string stop_reason() const { return "stopped"; }
};

// True when the whole document was read; otherwise error says why, as
// "line N: what".
bool read(std::string_view document, Handler& handler, std::string& error, const Limits& limits = {});

}  // namespace ovr::config::xml
