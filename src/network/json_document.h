// JsonDocument: one JSON value held in a script engine and read or changed by path.
//
// The document lives in the engine as the global variable "da". Paths are member/index paths
// such as data[0].title, da.data[0].title, [2] or data["a-b"]; a path that does not start
// with the name gets it put in front. Anything else (calls, operators) is refused: the
// operation then gives its empty value. Received text is only ever handed to the engine as a
// string and read with JSON.parse, so an answer can never run as code.
//
// Texts in and out are GB18030. A text stored with set_value keeps its backslashes as U+2400
// inside the engine and every read turns U+2400 back into a backslash, so to_json shows such
// a backslash unescaped.
//
// Failures are never reported: reads give the empty text, 0 or a null document, writes
// false. Copies (`copy`) share the engine; get_object and get_element_object give documents
// with engines of their own. Used on one thread only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/script_engine.h"
#include "runtime/array.h"
#include "runtime/text.h"

namespace wavlon::network {

using runtime::TextView;

// Type codes of get_type.
enum JsonType : std::int32_t {
    kJsonNull = 0,  // null, undefined or a path that does not exist
    kJsonBoolean = 1,
    kJsonNumber = 2,
    kJsonObject = 4,
    kJsonArray = 5,
    kJsonString = 6,
    kJsonOther = 255,
};

class JsonDocument {
public:
    // An empty object document on an engine of its own.
    JsonDocument();

    JsonDocument copy() const { return *this; }

    // Prepares a new engine holding an empty object document; false when none can be made.
    bool create_engine();
    // Replaces the document with the JSON value of `json`. False (and a null document) when
    // the text is not JSON or holds null.
    bool parse(TextView json);
    // Makes the document an empty object.
    bool clear();
    runtime::Text to_json();

    // Stores `value` at `path`. Without is_json as a string; with it as the JSON value of the
    // text (an empty text meaning {}), merged into an existing value: an array gets the
    // elements appended, an object the members (recursively; plain members replaced).
    bool set_value(TextView path, TextView value, bool is_json = false);
    // Stores the JSON value of `json` at `path`, replacing what was there.
    bool set_json(TextView path, TextView json);
    // Rewrites `path` into its full form (starting with the name). True when it denotes a
    // value that is not null; false also for a path that is refused (left unchanged).
    bool resolve_path(runtime::Text& path);
    std::int32_t get_type(TextView path);
    // The value as text (strings as they are, other values in their script text form), or
    // with as_json as JSON.
    runtime::Text get_text(TextView path, bool as_json = false);
    // The names of an object's members (in enumeration order) into `out`, replacing what it
    // held; 0 names for anything that is not an object.
    std::int32_t get_member_names(TextView path, runtime::Array<runtime::Text>& out);
    // The length of an array; 0 for anything else.
    std::int32_t get_count(TextView path);
    JsonDocument get_object(TextView path);

    // Appends to the array at `path`, which is made an empty array first when it is not one.
    bool push(TextView path, TextView value, bool is_json = false);
    JsonDocument get_element_object(TextView path, std::int32_t index);
    runtime::Text get_element_text(TextView path, std::int32_t index, bool as_json = false);
    bool set_element(TextView path, std::int32_t index, TextView value, bool is_json = false);
    bool remove_element(TextView path, std::int32_t index);
    bool remove(TextView path);
    bool set_number(TextView path, double value);
    double get_number(TextView path);
    runtime::Text to_json_at(TextView path);

    platform::ScriptEngine get_engine() const { return m_engine; }

private:
    // The full UTF-8 path, or empty when the path is refused.
    std::string full_path(TextView path) const;
    bool parse_utf8(std::string_view json);
    // Runs `expression` with the global input variable holding `value` (a string, UTF-8).
    bool run_with_input(std::string_view value, const std::string& expression);
    runtime::Text eval_text(const std::string& expression);
    JsonDocument document_of(const std::string& expression);

    std::string m_name = "da";
    platform::ScriptEngine m_engine;
};

}  // namespace wavlon::network
