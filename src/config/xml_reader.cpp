#include "config/xml_reader.h"

#include <algorithm>
#include <cstdint>

namespace ovr::config::xml {
namespace {

bool blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool name_start(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80;
}

bool name_char(unsigned char c) { return name_start(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

bool valid_char(uint32_t cp) {
    return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) || (cp >= 0xE000 && cp <= 0xFFFD) ||
           (cp >= 0x10000 && cp <= 0x10FFFF);
}

void put_utf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

class Reader {
public:
    Reader(std::string_view doc, Handler& h, const Limits& l) : d_(doc), h_(h), lim_(l) {}

    bool run(std::string& error) {
        bool ok = document();
        if (!ok) error = "line " + std::to_string(line_at(err_pos_)) + ": " + err_;
        return ok;
    }

private:
    bool document() {
        if (d_.size() > lim_.max_bytes)
            return fail("the document is larger than " + std::to_string(lim_.max_bytes) + " bytes");
        if (starts("\xEF\xBB\xBF")) p_ = 3;
        while (p_ < d_.size()) {
            if (d_[p_] != '<') {
                if (!text_run()) return false;
            } else if (starts("<?")) {
                if (!skip_past("?>", "an unterminated processing instruction")) return false;
            } else if (starts("<!--")) {
                if (!skip_past("-->", "an unterminated comment")) return false;
            } else if (starts("<![CDATA[")) {
                if (!cdata()) return false;
            } else if (starts("<!DOCTYPE")) {
                if (!doctype()) return false;
            } else if (starts("</")) {
                if (!end_tag()) return false;
            } else if (starts("<!")) {
                return fail("unknown markup");
            } else if (!start_tag()) {
                return false;
            }
        }
        if (!open_.empty()) return fail("the element <" + open_.back() + "> is not closed");
        if (!root_seen_) return fail("no root element");
        return true;
    }

    bool fail(std::string what) {
        err_ = std::move(what);
        err_pos_ = std::min(p_, d_.size());
        return false;
    }

    bool handler(bool ok) { return ok || fail(h_.stop_reason()); }

    size_t line_at(size_t pos) const {
        return 1 + static_cast<size_t>(std::count(d_.begin(), d_.begin() + static_cast<ptrdiff_t>(pos), '\n'));
    }

    bool starts(std::string_view s) const { return d_.substr(p_, s.size()) == s; }

    bool skip_past(std::string_view end, const char* unterminated) {
        size_t e = d_.find(end, p_);
        if (e == std::string_view::npos) return fail(unterminated);
        p_ = e + end.size();
        return true;
    }

    void skip_blanks() {
        while (p_ < d_.size() && blank(d_[p_])) ++p_;
    }

    // Text and attribute values with their references replaced, at most
    // max_text bytes.
    bool decode(std::string_view raw, std::string& out) {
        out.clear();
        for (size_t i = 0; i < raw.size(); ++i) {
            char c = raw[i];
            if (c == '\0') return fail("a NUL byte");
            if (c != '&') {
                out += c;
            } else {
                size_t semi = raw.find(';', i + 1);
                if (semi == std::string_view::npos || semi - i > 12) return fail("an '&' that starts no reference");
                std::string_view name = raw.substr(i + 1, semi - i - 1);
                if (!reference(name, out)) return false;
                i = semi;
            }
            if (out.size() > lim_.max_text)
                return fail("a text longer than " + std::to_string(lim_.max_text) + " bytes");
        }
        return true;
    }

    bool reference(std::string_view name, std::string& out) {
        static constexpr std::pair<std::string_view, char> kPredefined[] = {
            {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
        for (const auto& [n, c] : kPredefined) {
            if (name == n) {
                out += c;
                return true;
            }
        }
        if (name.empty() || name[0] != '#') return fail("the unknown entity &" + std::string(name) + ";");
        bool hex = name.size() > 1 && name[1] == 'x';
        std::string_view digits = name.substr(hex ? 2 : 1);
        if (digits.empty()) return fail("an empty character reference");
        uint32_t cp = 0;
        for (char c : digits) {
            uint32_t v;
            if (c >= '0' && c <= '9') v = static_cast<uint32_t>(c - '0');
            else if (hex && c >= 'a' && c <= 'f') v = static_cast<uint32_t>(c - 'a' + 10);
            else if (hex && c >= 'A' && c <= 'F') v = static_cast<uint32_t>(c - 'A' + 10);
            else return fail("a malformed character reference &" + std::string(name) + ";");
            cp = cp * (hex ? 16 : 10) + v;
            if (cp > 0x10FFFF) break;   // at most 8 digits: no overflow before this
        }
        if (!valid_char(cp)) return fail("a reference to no valid character &" + std::string(name) + ";");
        put_utf8(out, cp);
        return true;
    }

    bool text_run() {
        size_t e = std::min(d_.find('<', p_), d_.size());
        std::string_view raw = d_.substr(p_, e - p_);
        if (open_.empty()) {
            if (!std::all_of(raw.begin(), raw.end(), blank)) return fail("text outside the root element");
            p_ = e;
            return true;
        }
        if (!decode(raw, text_)) return false;
        p_ = e;
        return handler(h_.text(text_));
    }

    bool cdata() {
        if (open_.empty()) return fail("a CDATA section outside the root element");
        size_t from = p_ + 9;
        size_t e = d_.find("]]>", from);
        if (e == std::string_view::npos) return fail("an unterminated CDATA section");
        if (e - from > lim_.max_text) return fail("a text longer than " + std::to_string(lim_.max_text) + " bytes");
        std::string_view body = d_.substr(from, e - from);
        if (body.find('\0') != std::string_view::npos) return fail("a NUL byte");
        p_ = e + 3;
        return handler(h_.text(body));
    }

    // Skipped whole, internal subset included: declarations there are never
    // applied, so an entity it declares is an unknown entity later.
    bool doctype() {
        if (root_seen_) return fail("a DOCTYPE after the root element");
        p_ += 9;
        bool subset = false;
        while (p_ < d_.size()) {
            char c = d_[p_];
            if (c == '"' || c == '\'') {
                size_t e = d_.find(c, p_ + 1);
                if (e == std::string_view::npos) break;
                p_ = e + 1;
            } else if (subset && starts("<!--")) {
                if (!skip_past("-->", "an unterminated comment")) return false;
            } else if (c == '[' && !subset) {
                subset = true;
                ++p_;
            } else if (c == ']' && subset) {
                subset = false;
                ++p_;
            } else if (c == '>' && !subset) {
                ++p_;
                return true;
            } else {
                ++p_;
            }
        }
        return fail("an unterminated DOCTYPE");
    }

    bool name(std::string& out) {
        size_t b = p_;
        if (p_ >= d_.size() || !name_start(static_cast<unsigned char>(d_[p_]))) return fail("a missing or malformed name");
        while (p_ < d_.size() && name_char(static_cast<unsigned char>(d_[p_]))) {
            if (p_ - b >= lim_.max_name)
                return fail("a name longer than " + std::to_string(lim_.max_name) + " bytes");
            ++p_;
        }
        out.assign(d_.substr(b, p_ - b));
        return true;
    }

    bool start_tag() {
        ++p_;
        std::string tag;
        if (!name(tag)) return false;
        if (root_seen_ && open_.empty()) return fail("a second root element <" + tag + ">");
        if (open_.size() >= lim_.max_depth)
            return fail("elements nested deeper than " + std::to_string(lim_.max_depth));
        if (++elements_ > lim_.max_elements)
            return fail("more than " + std::to_string(lim_.max_elements) + " elements");
        root_seen_ = true;
        attributes_.clear();
        for (;;) {
            size_t before = p_;
            skip_blanks();
            if (p_ >= d_.size()) return fail("the tag <" + tag + "> is not terminated");
            if (d_[p_] == '>' || starts("/>")) break;
            if (p_ == before) return fail("attributes of <" + tag + "> not separated by blanks");
            if (attributes_.size() >= lim_.max_attributes)
                return fail("more than " + std::to_string(lim_.max_attributes) + " attributes on <" + tag + ">");
            Attribute a;
            if (!name(a.name)) return false;
            for (const Attribute& other : attributes_)
                if (other.name == a.name) return fail("the attribute " + a.name + " given twice");
            skip_blanks();
            if (p_ >= d_.size() || d_[p_] != '=') return fail("the attribute " + a.name + " without a value");
            ++p_;
            skip_blanks();
            if (p_ >= d_.size() || (d_[p_] != '"' && d_[p_] != '\'')) return fail("an unquoted attribute value");
            char q = d_[p_];
            size_t e = d_.find(q, p_ + 1);
            if (e == std::string_view::npos) return fail("an unterminated attribute value");
            std::string_view raw = d_.substr(p_ + 1, e - p_ - 1);
            if (raw.find('<') != std::string_view::npos) return fail("a '<' in an attribute value");
            if (!decode(raw, a.value)) return false;
            p_ = e + 1;
            attributes_.push_back(std::move(a));
        }
        bool empty = d_[p_] == '/';
        p_ += empty ? 2 : 1;
        if (!handler(h_.start(tag, attributes_))) return false;
        if (empty) return handler(h_.end(tag));
        open_.push_back(std::move(tag));
        return true;
    }

    bool end_tag() {
        p_ += 2;
        std::string tag;
        if (!name(tag)) return false;
        skip_blanks();
        if (p_ >= d_.size() || d_[p_] != '>') return fail("the tag </" + tag + "> is not terminated");
        if (open_.empty()) return fail("</" + tag + "> closes no element");
        if (open_.back() != tag) return fail("</" + tag + "> closes <" + open_.back() + ">");
        ++p_;
        open_.pop_back();
        return handler(h_.end(tag));
    }

    std::string_view d_;
    Handler& h_;
    const Limits& lim_;
    size_t p_ = 0;
    std::string err_;
    size_t err_pos_ = 0;
    std::vector<std::string> open_;
    std::vector<Attribute> attributes_;
    std::string text_;
    size_t elements_ = 0;
    bool root_seen_ = false;
};

}  // namespace

bool read(std::string_view document, Handler& handler, std::string& error, const Limits& limits) {
    return Reader(document, handler, limits).run(error);
}

}  // namespace ovr::config::xml
