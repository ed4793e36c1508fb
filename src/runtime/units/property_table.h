// Property tables: each unit type lists its own properties (index 8 onwards) once, as rows of
// (index, name, value type, reader, writer), the way a widget toolkit registers the properties
// of its object classes. The type information's property list, get_property and set_property
// all follow from the one table, so they cannot disagree about what sits at an index.
//
// A table is checked where it is compiled: its rows must follow each other from index 8 with
// no gap, in index order. It lives in a static member function of its unit class, so that its
// rows may name the class's private members; the builders below make the rows, so that what
// several types share (a number kept in the block, a font, settings kept as written) is
// written once:
//
//   const PropertyTable<ButtonUnit>& ButtonUnit::properties() {
//       using Rows = PropertyRows<&ButtonUnit::m_block>;  // the unit's stored settings
//       static constexpr auto rows = Rows::list(
//           Rows::bytes<&ButtonBlock::picture, &ButtonUnit::apply_picture>(
//               8, "picture", PropertyType::kPicture),
//           Rows::number<&ButtonBlock::property9>(9, "property9", PropertyType::kChoice),
//           Rows::methods<&ButtonUnit::caption, &ButtonUnit::set_caption>(10, "caption",
//                                                                         PropertyType::kText),
//           ...);
//       static constexpr PropertyTable<ButtonUnit> table(rows);
//       return table;
//   }
//
// No property of these types needs its unit created anew to show a change, so a write always
// answers false. A writer may raise an event whose routine destroys the unit: the table touches
// neither the unit nor anything of it after calling the writer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <type_traits>
#include <utility>
#include <vector>

#include "runtime/conversions.h"
#include "runtime/font_value.h"
#include "runtime/unit.h"

namespace wavlon::units {

// One row of unit class U's table: the property at `index`, or the run of `count` properties
// from `index` that all behave alike. The reader and writer get the property's index and its
// place in the run (0 for a single property).
template <class U>
struct PropertyRow {
    int index = 0;
    int count = 1;
    const char* name = "";
    runtime::PropertyType type = runtime::PropertyType::kInteger;
    runtime::Value (*get)(const U& unit, int index, int element) = nullptr;
    void (*set)(U& unit, int index, int element, const runtime::Value& value) = nullptr;
};

template <class U>
class PropertyTable {
public:
    template <std::size_t N>
    consteval explicit PropertyTable(const std::array<PropertyRow<U>, N>& rows) : m_rows(rows) {
        int next = runtime::property::kFirstOwn;
        for (const PropertyRow<U>& row : rows) {
            if (row.index != next || row.count < 1 || !row.get || !row.set) {
                throw "property rows must follow each other from index 8, each with a reader "
                      "and a writer";
            }
            next += row.count;
        }
    }

    // The own properties end where the last row ends; the common ones count too.
    int property_count() const { return m_rows.back().index + m_rows.back().count; }

    // The common properties followed by the rows' types, one entry per index.
    std::vector<runtime::PropertyInfo> property_infos() const {
        std::vector<runtime::PropertyInfo> infos = runtime::common_properties_and({});
        for (const PropertyRow<U>& row : m_rows) {
            infos.insert(infos.end(), static_cast<std::size_t>(row.count), {row.type, 0});
        }
        return infos;
    }

    // The empty value for an index the table does not hold.
    runtime::Value get(const U& unit, int index) const {
        const PropertyRow<U>* row = find(index);
        return row ? row->get(unit, index, index - row->index) : runtime::Value{};
    }

    // An index the table does not hold is ignored.
    bool set(U& unit, int index, const runtime::Value& value) const {
        if (const PropertyRow<U>* row = find(index)) {
            row->set(unit, index, index - row->index, value);
        }
        return false;
    }

private:
    const PropertyRow<U>* find(int index) const {
        for (const PropertyRow<U>& row : m_rows) {
            if (index >= row.index && index < row.index + row.count) {
                return &row;
            }
        }
        return nullptr;
    }

    std::span<const PropertyRow<U>> m_rows;
};

namespace property_rows {

template <class T>
struct MemberOf;
template <class C, class T>
struct MemberOf<T C::*> {
    using Class = C;
    using Type = T;
};

// How many rows a part of a row list holds: one row, or a group of rows.
template <class Part>
constexpr std::size_t kRowsIn = 1;
template <class U, std::size_t N>
constexpr std::size_t kRowsIn<std::array<PropertyRow<U>, N>> = N;

// How a field of a block crosses the property interface: `get` makes the value of the field,
// `set` stores a value into it.
struct AsNumber {  // 32-bit integers, whatever the field's own integer type
    template <class T>
    static runtime::Value get(T number) {
        return runtime::Value::integer(static_cast<std::int32_t>(number));
    }
    template <class T>
    static void set(T& field, const runtime::Value& value) {
        field = static_cast<T>(runtime::to_integer(value));
    }
};
struct AsText {
    static runtime::Value get(const runtime::Text& text) { return runtime::Value::text(text); }
    static void set(runtime::Text& field, const runtime::Value& value) {
        field = runtime::to_text(value);
    }
};
struct AsBytes {  // anything but a byte-set writes none
    static runtime::Value get(const std::vector<std::uint8_t>& bytes) {
        return runtime::Value::byte_set(runtime::ByteSet(bytes));
    }
    static void set(std::vector<std::uint8_t>& field, const runtime::Value& value) {
        const runtime::ByteSet* bytes = value.get<runtime::ByteSet>();
        field = bytes ? bytes->bytes() : std::vector<std::uint8_t>{};
    }
};
struct AsFont {  // the 60-byte byte-set of font_value; anything else is the default font
    static runtime::Value get(const runtime::FontSetting& font) {
        return runtime::font_value(font);
    }
    static void set(runtime::FontSetting& field, const runtime::Value& value) {
        field = runtime::font_from_value(value);
    }
};

// How what a reader method gives, and what its writer method takes, crosses the interface.
template <class Read>
using AsRead = std::conditional_t<std::is_same_v<Read, runtime::Text>, AsText, AsNumber>;

// Calls the unit's `Apply` method, when the row names one, after a field changed.
template <auto Apply, class U>
void apply(U& unit) {
    if constexpr (!std::is_same_v<decltype(Apply), std::nullptr_t>) {
        (unit.*Apply)();
    }
}

}  // namespace property_rows

// Builders of the rows of a unit class whose stored settings are its member `Block` (a
// template block such as ButtonBlock). Fields are members of that block; `Apply`, where
// given, is a method of the unit that shows the field's new value.
template <auto Block>
struct PropertyRows {
    using U = typename property_rows::MemberOf<decltype(Block)>::Class;
    using BlockType = typename property_rows::MemberOf<decltype(Block)>::Type;
    using Row = PropertyRow<U>;
    using Type = runtime::PropertyType;

    // The rows of a table in index order, from single rows and groups of rows.
    template <class... Parts>
    static consteval auto list(const Parts&... parts) {
        std::array<Row, (property_rows::kRowsIn<Parts> + ...)> rows{};
        std::size_t next = 0;
        auto add = [&](const auto& part) {
            if constexpr (std::is_same_v<std::remove_cvref_t<decltype(part)>, Row>) {
                rows[next++] = part;
            } else {
                for (const Row& row : part) {
                    rows[next++] = row;
                }
            }
        };
        (add(parts), ...);
        return rows;
    }

    // A number of the block: an integer, choice, colour or logical.
    template <auto Field, auto Apply = nullptr>
    static consteval Row number(int index, const char* name, Type type) {
        return in_block<Field, property_rows::AsNumber, Apply>(index, name, type);
    }

    // The properties from `first` to `last` are the elements of the block's array `Field`
    // from its start.
    template <auto Field, auto Apply = nullptr>
    static consteval Row numbers(int first, int last, const char* name, Type type) {
        return {first, last - first + 1, name, type, get_element<Field>, set_element<Field, Apply>};
    }

    template <auto Field, auto Apply = nullptr>
    static consteval Row text(int index, const char* name) {
        return in_block<Field, property_rows::AsText, Apply>(index, name, Type::kText);
    }

    // Byte data: a picture, icon or sound.
    template <auto Field, auto Apply = nullptr>
    static consteval Row bytes(int index, const char* name, Type type) {
        return in_block<Field, property_rows::AsBytes, Apply>(index, name, type);
    }

    template <auto Field, auto Apply = nullptr>
    static consteval Row font(int index) {
        return in_block<Field, property_rows::AsFont, Apply>(index, "font", Type::kFont);
    }

    // The text colour, background colour and font of a unit that draws text on a background
    // of its own, all three kept in the block's fields of those names and shown by `Apply`.
    template <auto Apply>
    static consteval std::array<Row, 3> look(int text_colour, int background, int font_index) {
        return {number<&BlockType::text_colour, Apply>(text_colour, "text colour", Type::kColour),
                number<&BlockType::background, Apply>(background, "background", Type::kBackColour),
                font<&BlockType::font, Apply>(font_index)};
    }

    // A property the unit answers with its own reader and writer methods (a caption, the
    // selection), as texts or integers by what the reader gives.
    template <auto Get, auto Set>
    static consteval Row methods(int index, const char* name, Type type) {
        return {index, 1, name, type, get_method<Get>, set_method<Get, Set>};
    }

    // Settings without a counterpart in the unit's look, kept as written in the unit's member
    // `Kept` (integers indexed by property index, 0 at first; see kept_numbers).
    template <auto Kept>
    static consteval Row kept(int first, int last, const char* name = "setting",
                              Type type = Type::kInteger) {
        return {first, last - first + 1, name, type, get_kept<Kept>, set_kept<Kept>};
    }

private:
    // The block's field `Field` of a unit, const when the unit is.
    template <auto Field, class Unit>
    static auto& field(Unit& unit) {
        return (unit.*Block).*Field;
    }

    // The row of a field of the block that crosses the interface `As` does.
    template <auto Field, class As, auto Apply>
    static consteval Row in_block(int index, const char* name, Type type) {
        return {index, 1, name, type, get_field<Field, As>, set_field<Field, As, Apply>};
    }
    template <auto Field, class As>
    static runtime::Value get_field(const U& unit, int, int) {
        return As::get(field<Field>(unit));
    }
    template <auto Field, class As, auto Apply>
    static void set_field(U& unit, int, int, const runtime::Value& value) {
        As::set(field<Field>(unit), value);
        property_rows::apply<Apply>(unit);
    }

    template <auto Field>
    static runtime::Value get_element(const U& unit, int, int element) {
        return property_rows::AsNumber::get(field<Field>(unit)[static_cast<std::size_t>(element)]);
    }
    template <auto Field, auto Apply>
    static void set_element(U& unit, int, int element, const runtime::Value& value) {
        property_rows::AsNumber::set(field<Field>(unit)[static_cast<std::size_t>(element)], value);
        property_rows::apply<Apply>(unit);
    }

    template <auto Get>
    using Read = std::remove_cvref_t<decltype((std::declval<const U&>().*Get)())>;

    template <auto Get>
    static runtime::Value get_method(const U& unit, int, int) {
        return property_rows::AsRead<Read<Get>>::get((unit.*Get)());
    }
    template <auto Get, auto Set>
    static void set_method(U& unit, int, int, const runtime::Value& value) {
        Read<Get> written{};
        property_rows::AsRead<Read<Get>>::set(written, value);
        (unit.*Set)(written);
    }

    template <auto Kept>
    static runtime::Value get_kept(const U& unit, int index, int) {
        return property_rows::AsNumber::get((unit.*Kept)[static_cast<std::size_t>(index)]);
    }
    template <auto Kept>
    static void set_kept(U& unit, int index, int, const runtime::Value& value) {
        property_rows::AsNumber::set((unit.*Kept)[static_cast<std::size_t>(index)], value);
    }
};

// Storage for the kept rows of a table: one integer per property index, 0 at first.
template <class U>
std::vector<std::int32_t> kept_numbers(const PropertyTable<U>& table) {
    return std::vector<std::int32_t>(static_cast<std::size_t>(table.property_count()), 0);
}

// The property interface of unit class U, answered from U::properties(); Base is the part U
// shares with its kind of unit (WidgetUnit or NonVisualUnit).
template <class U, class Base>
class WithPropertyTable : public Base {
public:
    using Base::Base;

    bool set_property(int index, const runtime::Value& value) final {
        return U::properties().set(static_cast<U&>(*this), index, value);
    }
    runtime::Value get_property(int index) const final {
        return U::properties().get(static_cast<const U&>(*this), index);
    }
};

// The type information of unit class U (type U::kTypeId): the common properties followed by
// the rows of U::properties(), or no properties at all for a class without a table.
template <class U>
runtime::UnitTypeInfo describe_unit_type(
    runtime::Text name, const char* english_name, std::uint32_t flags,
    std::unique_ptr<runtime::Unit> (*create)(const runtime::UnitCreateParams&)) {
    runtime::UnitTypeInfo info;
    info.type_id = U::kTypeId;
    info.name = std::move(name);
    info.english_name = english_name;
    info.flags = flags;
    if constexpr (requires { U::properties(); }) {
        info.properties = U::properties().property_infos();
    }
    info.create = create;
    return info;
}

}  // namespace wavlon::units
