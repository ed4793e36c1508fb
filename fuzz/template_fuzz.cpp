// Decodes arbitrary bytes as a window template, and the same bytes as the type-specific block
// of every unit type. A template that decodes must write and read back unchanged, and every
// type block inside it must decode (the template decoder checks them); a failure must name an
// offset inside the input. Any violation aborts, so the replay driver and libFuzzer see it.
#include <cstdint>
#include <span>
#include <variant>

#include "fuzz_input.h"
#include "runtime/template_blocks.h"
#include "runtime/template_format.h"

namespace {

using namespace wavlon::runtime;
using wavlon::fuzz::check;

void fuzz_template(std::span<const std::uint8_t> bytes) {
    auto decoded = decode_template(bytes);
    if (auto* error = std::get_if<TemplateError>(&decoded)) {
        check(error->offset <= bytes.size() && !error->what.empty());
        return;
    }
    const auto& window_template = std::get<WindowTemplate>(decoded);
    for (const auto& window : window_template.windows) {
        check(!window.store.records.empty() &&
              window.store.ids.size() == window.store.records.size());
        for (const auto& record : window.store.records) {
            if (record.is_menu_item()) {
                continue;
            }
            auto block = decode_type_block(record.type, record.type_block);
            check(std::holds_alternative<TypeBlock>(block));
            auto again =
                decode_type_block(record.type, encode_type_block(std::get<TypeBlock>(block)));
            check(std::holds_alternative<TypeBlock>(again) &&
                  std::get<TypeBlock>(again) == std::get<TypeBlock>(block));
        }
    }
    auto reread = decode_template(encode_template(window_template));
    check(std::holds_alternative<WindowTemplate>(reread) &&
          std::get<WindowTemplate>(reread) == window_template);
}

void fuzz_blocks(std::span<const std::uint8_t> bytes) {
    for (const UnitTypeName& type : kUnitTypeNames) {
        auto block = decode_type_block(type.id, bytes);
        if (auto* error = std::get_if<TemplateError>(&block)) {
            check(error->offset <= bytes.size());
        }
    }
    auto font = decode_font_block(bytes);
    if (auto* error = std::get_if<TemplateError>(&font)) {
        check(error->offset <= bytes.size());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> bytes(data, size);
    fuzz_template(bytes);
    fuzz_blocks(bytes);
    return 0;
}
