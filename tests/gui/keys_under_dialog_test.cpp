// The arrow keys while one of the program's dialogs is open: each press steps when it is made,
// unless the dialog's focused widget uses the arrows itself; nothing is kept for after it closes.

#include "PickerDriver.h"
#include "PlayerWindowFixture.h"

#include "forms/FolderTree.h"
#include "forms/TSelectDirDlg.h"
#include "forms/Unit4.h"
#include "support/Xdo.h"

#include <QTest>

namespace {

class KeysUnderDialogTest : public PlayerWindowFixture {};

TEST_F(KeysUnderDialogTest, UnderTheFolderPickerEachPressStepsAtOnceUnlessTheTreeHasTheFocus) {
    ASSERT_TRUE(waitForChannel(201));
    TForm4 destination;
    form1->setDestinationWindow(&destination);
    const auto row = [&] { return form2->ListBox1->currentRow(); };

    bool pickerActive = false;
    int afterButtonPresses = -2;
    int afterTreePress = -2;
    ModalDriver driver;
    driver.when<TSelectDirDlg>([&](TSelectDirDlg *picker) {
        pickerActive = waitUntil([&] { return picker->isActiveWindow(); }, 5000);
        picker->CancelButton->setFocus();
        xdo::key(QStringLiteral("Up"));
        waitUntil([&] { return row() == 0; }, 5000);
        xdo::key(QStringLiteral("Up"));
        waitUntil([&] { return row() == 1; }, 5000);
        afterButtonPresses = row();
        // The tree walks its folders with the arrows: they are its own.
        picker->DirList->setFocus();
        xdo::key(QStringLiteral("Down"));
        QTest::qWait(400);
        afterTreePress = row();
        picker->reject();
    });
    destination.Button1Click();

    ASSERT_TRUE(pickerActive);
    EXPECT_EQ(afterButtonPresses, 1)
        << "presses with a button focused did not step while the picker was open";
    EXPECT_EQ(afterTreePress, 1) << "Down in the picker's tree also stepped the channel";
    QTest::qWait(400);
    EXPECT_EQ(row(), 1) << "presses made under the picker came out once it closed";
    EXPECT_TRUE(waitForChannel(202));
}

} // namespace
