#include "runtime/units/edit_box_unit.h"

#include <QKeyEvent>
#include <QLineEdit>

#include "runtime/unit_properties.h"
#include "support/main_window_driver.h"

namespace wavlon::testing {
namespace {

using namespace runtime;
using units::EditBoxUnit;

constexpr std::uint32_t kEdit = 0x1601001F;

class EditBox : public UnitWindowTest {
protected:
    void SetUp() override {
        UnitWindowTest::SetUp();
        load({{kEdit, record(unit_types::kEditBox, "编辑框2", {56, 8, 312, 32}, {})}});
    }
    Text content() {
        return *read_unit_property(kWindow, kEdit, EditBoxUnit::kContent).get<Text>();
    }
};

TEST_F(EditBox, EveryProgramWriteRaisesTheChangeEventEvenOfTheSameText) {
    for (const Text& text : {"路径"_gb, "路径"_gb, Text{}, Text{}}) {
        write_unit_property(kWindow, kEdit, EditBoxUnit::kContent, Value::text(text));
        EXPECT_EQ(content(), text);
    }
    EXPECT_EQ(events_of(kEdit, 0), 4);
}

TEST_F(EditBox, TypingRaisesTheChangeEvent) {
    QLineEdit* edit = static_cast<QLineEdit*>(unit<EditBoxUnit>(kEdit).widget());
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    send_event(edit, press);
    EXPECT_EQ(content(), "a");
    EXPECT_EQ(events_of(kEdit, 0), 1);
}

TEST_F(EditBox, HiddenAndDisabledEditBoxStillRaisesOnProgramWrites) {
    write_unit_property(kWindow, kEdit, 5, Value::logical(false));
    write_unit_property(kWindow, kEdit, 6, Value::logical(true));
    write_unit_property(kWindow, kEdit, EditBoxUnit::kContent, Value::text("y"));
    EXPECT_EQ(content(), "y");
    EXPECT_EQ(events_of(kEdit, 0), 1);
}

}  // namespace
}  // namespace wavlon::testing
