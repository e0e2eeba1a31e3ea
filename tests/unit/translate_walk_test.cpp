// The translator's walk over a form's components: which keys it writes, in
// which sections and order, and what it sets from a filled language file.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/Components.h"
#include "platform/runtime/TextLines.h"
#include "tests/support/ScratchDir.h"
#include "ui/unitTranslate.h"
#ifdef _WIN32
#include "ui/frmProperty.h"
#endif

using namespace platform;
using ovtest::ReadBytes;
using ovtest::WriteBytes;

namespace {

// A form of the class the test names; the translator's sections are named so.
class TMyForm : public TForm {
public:
    explicit TMyForm(TComponent* owner, const char* className = "TMyForm") : TForm(owner), className_(className) {}
    const char* ClassName() const override { return className_; }

private:
    const char* className_;
};

template <class T>
T* Make(TComponent* owner, const char* name) {
    T* c = new T(owner);
    c->Name = name;
    return c;
}

// A form with a caption and one label, both code page 936 text.
std::unique_ptr<TMyForm> LabelledForm() {
    auto form = std::make_unique<TMyForm>(nullptr);
    form->Caption = "语音盒参数设置";
    Make<TLabel>(form.get(), "Label1")->Caption = "（无可用的参数）";
    return form;
}

// A host directory with the settings file set to `language` and an empty language file.
class TranslateTest : public ::testing::Test {
protected:
    void Start(const std::string& language, const std::string& languageFile = "") {
        WriteBytes(dir.File("kdwusr70.ini"), "[语言设置]\r\n系统语言=" + language + "\r\n");
        WriteBytes(Lng(), languageFile);
        Reload();
    }
    void Reload() {
        translator = std::make_unique<TTranslator>(dir.Path());
        translator->LoadLanguageFile(Lng());
    }
    std::string Lng() const { return dir.File("Orvale7.lng"); }
    // Translates `form`; what the language file holds afterwards.
    std::string Translate(TForm& form) {
        translator->TranslateForm(form);
        return ReadBytes(Lng());
    }

    ovtest::ScratchDir dir;
    std::unique_ptr<TTranslator> translator;
};

}  // namespace

#ifdef _WIN32
// The property dialog itself (its forms exist in the Windows build only),
// made without its creation handler, which would translate it with the
// module's translator instead of this test's.
TEST_F(TranslateTest, PropertyDialogFillsAnEmptyFileThenReadsItBack) {
    Start("EN");
    auto first = std::make_unique<TPropertyForm>(nullptr);
    EXPECT_EQ(Translate(*first),
              "[TPropertyForm]\r\n"
              "Caption=语音盒参数设置\r\n"
              "Hint=\r\n"
              "Label1.Hint=\r\n"
              "Label1.Caption=（无可用的参数）\r\n"
              "btnOk.Hint=\r\n"
              "btnOk.Caption=确定(&O)\r\n");
    EXPECT_EQ(first->Caption, "语音盒参数设置");

    const std::string english =
        "[TPropertyForm]\r\nCaption=Voice box settings\r\nHint=\r\nLabel1.Hint=\r\n"
        "Label1.Caption=(no settings)\r\nbtnOk.Hint=Close\r\nbtnOk.Caption=&OK\r\n";
    WriteBytes(Lng(), english);
    auto second = std::make_unique<TPropertyForm>(nullptr);
    EXPECT_EQ(Translate(*second), english);
    EXPECT_EQ(second->Caption, "Voice box settings");
    EXPECT_EQ(second->Label1->Caption, "(no settings)");
    EXPECT_EQ(second->btnOk->Caption, "&OK");
    EXPECT_EQ(second->btnOk->Hint, "Close");
}
#endif

TEST_F(TranslateTest, EveryKindWritesItsKeysInTableOrderAndNestedSections) {
    Start("EN");
    TMyForm form(nullptr);
    form.Caption = "Form";
    auto* label = Make<TLabel>(&form, "Label1");
    label->Caption = "Lbl";
    label->Hint = "tip";
    Make<TTabSheet>(Make<TPageControl>(&form, "PageControl1"), "TabSheet1")->Caption = "Page";
    Make<TMemo>(&form, "Memo1")->Text = "one\r\ntwo";
    Make<TEdit>(&form, "Edit1")->Text = "e";
    Make<TListBox>(&form, "ListBox1")->Items = {"a", "b"};
    Make<TGroupBox>(&form, "GroupBox1")->Caption = "G";
    Make<TCheckBox>(&form, "CheckBox1")->Caption = "C";
    auto* group = Make<TRadioGroup>(&form, "RadioGroup1");
    group->Caption = "R";
    group->Items = {"x", "y"};
    Make<TRadioButton>(group, "RadioButton1")->Caption = "never";
    Make<TBitBtn>(&form, "BitBtn1")->Caption = "B";
    Make<TButton>(&form, "Button1")->Caption = "OK";
    auto* open = Make<TOpenDialog>(&form, "OpenDialog1");
    open->Filter = "*.txt|*.txt";
    open->Title = "Open";
    Make<TSaveDialog>(&form, "SaveDialog1")->Title = "Save";
    Make<TComboBox>(&form, "ComboBox1")->Text = "c";
    Make<TLabel>(Make<TRadioButton>(&form, "RadioButton2"), "UnderRadio")->Caption = "never";
    auto* frame = Make<TFrame>(&form, "Frame1");
    Make<TEdit>(Make<TGroupBox>(frame, "GroupBox2"), "Edit3")->Text = "deep";
    Make<TLabel>(Make<TComponent>(&form, "Plain"), "Label2")->Caption = "L2";
    auto* unnamed = Make<TButton>(&form, "");
    unnamed->Caption = "anon";
    Make<TLabel>(unnamed, "Label3")->Caption = "L3";

    EXPECT_EQ(Translate(form),
              "[TMyForm]\r\nCaption=Form\r\nHint=\r\n"
              "Label1.Hint=tip\r\nLabel1.Caption=Lbl\r\n"
              "PageControl1.Hint=\r\n"
              "Memo1.Hint=\r\nMemo1.Text=one\\ntwo\r\n"
              "Edit1.Hint=\r\nEdit1.Text=e\r\n"
              "ListBox1.Hint=\r\nListBox1.Items=a\\nb\\n\r\n"
              "GroupBox1.Hint=\r\nGroupBox1.Caption=G\r\n"
              "CheckBox1.Hint=\r\nCheckBox1.Caption=C\r\n"
              "RadioGroup1.Hint=\r\nRadioGroup1.Caption=R\r\nRadioGroup1.Items=x\\ny\\n\r\n"
              "BitBtn1.Hint=\r\nBitBtn1.Caption=B\r\n"
              "Button1.Hint=\r\nButton1.Caption=OK\r\n"
              "OpenDialog1.Filter=*.txt|*.txt\r\nOpenDialog1.Title=Open\r\n"
              "SaveDialog1.Filter=\r\nSaveDialog1.Title=Save\r\n"
              "ComboBox1.Hint=\r\nComboBox1.Text=c\r\nComboBox1.Items=\r\n"
              "Frame1.Hint=\r\n"
              ".Hint=\r\n.Caption=anon\r\n"
              "[TMyForm.PageControl1]\r\nTabSheet1.Hint=\r\nTabSheet1.Caption=Page\r\n"
              "[TMyForm.Frame1]\r\nGroupBox2.Hint=\r\nGroupBox2.Caption=\r\n"
              "[TMyForm.Frame1.GroupBox2]\r\nEdit3.Hint=\r\nEdit3.Text=deep\r\n"
              "[TMyForm.Plain]\r\nLabel2.Hint=\r\nLabel2.Caption=L2\r\n"
              "[TMyForm.]\r\nLabel3.Hint=\r\nLabel3.Caption=L3\r\n");

    // The keys a tool is told the form looks up are exactly those written,
    // in the order written within each section.
    std::map<std::string, std::vector<std::string>> listed, written;
    for (const TTranslationKey& key : TranslationKeys(form)) listed[key.Section].push_back(key.Key);
    std::string section;
    for (const std::string& line : platform::SplitLines(ReadBytes(Lng()))) {
        if (line[0] == '[')
            section = line.substr(1, line.find(']') - 1);
        else
            written[section].push_back(line.substr(0, line.find('=')));
    }
    EXPECT_EQ(listed, written);
}

TEST_F(TranslateTest, AFilledFileSetsEveryKindOfText) {
    Start("EN",
          "[TMyForm]\r\n"
          "Caption=\"  Spaced  \"\r\n"
          "memo.text=first\\nsecond\\Nthird\r\n"
          "List.Items=a\\n\\nb\\n\r\n"
          "Group.Caption=Choose\r\nGroup.Items=one\\ntwo\r\n"
          "Combo.Text=\r\nCombo.Items=\r\n"
          "Dlg.Filter=Text|*.txt\r\nDlg.Title=Save as\r\n"
          "Edit.Hint=\r\n"
          "[TMyForm.Frame]\r\nEdit.Text=inner\r\n");
    TMyForm form(nullptr);
    auto* memo = Make<TMemo>(&form, "Memo");
    auto* list = Make<TListBox>(&form, "List");
    auto* group = Make<TRadioGroup>(&form, "Group");
    auto* combo = Make<TComboBox>(&form, "Combo");
    combo->Text = "kept?";
    combo->Items = {"p", "q"};
    auto* dialog = Make<TSaveDialog>(&form, "Dlg");
    auto* edit = Make<TEdit>(&form, "Edit");
    edit->Hint = "designed hint";
    auto* inner = Make<TEdit>(Make<TFrame>(&form, "Frame"), "Edit");
    translator->TranslateForm(form);
    EXPECT_EQ(form.Caption, "  Spaced  ");
    EXPECT_EQ(memo->Text, "first\r\nsecond\\Nthird");
    EXPECT_EQ(list->Items, (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(group->Caption, "Choose");
    EXPECT_EQ(group->Items, (std::vector<std::string>{"one", "two"}));
    // Present but empty: the texts are blanked.
    EXPECT_EQ(combo->Text, "");
    EXPECT_TRUE(combo->Items.empty());
    EXPECT_EQ(edit->Hint, "");
    EXPECT_EQ(dialog->Filter, "Text|*.txt");
    EXPECT_EQ(dialog->Title, "Save as");
    EXPECT_EQ(inner->Text, "inner");
}

TEST_F(TranslateTest, LineBreaksAreEscapedAndUnescapedCaseSensitively) {
    Start("EN");
    TMyForm form(nullptr);
    auto* a = Make<TEdit>(&form, "A");
    a->Text = "two\r\nlines";
    auto* b = Make<TEdit>(&form, "B");
    b->Text = "path C:\\new\\Nope";  // written as is; reads back with a break after "C:"
    EXPECT_EQ(Translate(form),
              "[TMyForm]\r\nCaption=\r\nHint=\r\nA.Hint=\r\nA.Text=two\\nlines\r\n"
              "B.Hint=\r\nB.Text=path C:\\new\\Nope\r\n");
    TMyForm again(nullptr);
    auto* a2 = Make<TEdit>(&again, "A");
    auto* b2 = Make<TEdit>(&again, "B");
    translator->TranslateForm(again);
    EXPECT_EQ(a2->Text, "two\r\nlines");
    EXPECT_EQ(b2->Text, "path C:\r\new\\Nope");
}

TEST_F(TranslateTest, ALoneLineBreakInATextNeverBreaksTheFile) {
    Start("EN");
    TMyForm form(nullptr);
    Make<TMemo>(&form, "Memo")->Text = "a\nb\rc";
    Make<TEdit>(&form, "After")->Text = "z";
    EXPECT_EQ(Translate(form),
              "[TMyForm]\r\nCaption=\r\nHint=\r\nMemo.Hint=\r\nMemo.Text=a\\nb\\nc\r\n"
              "After.Hint=\r\nAfter.Text=z\r\n");
}

TEST_F(TranslateTest, OnlyEnExactlyTranslates) {
    for (const std::string code : {"en", "En", "CN", "ENG", "E N"}) {
        Start(code);
        auto form = LabelledForm();
        EXPECT_EQ(Translate(*form), "") << code;
        EXPECT_EQ(translator->Language(), code);
        EXPECT_EQ(form->Caption, "语音盒参数设置");
    }
}

TEST_F(TranslateTest, RadioButtonsAndWhatTheyOwnAreNeverVisited) {
    Start("EN", "[TMyForm]\r\nRadio.Caption=changed\r\nRadio.Hint=changed\r\n"
                "[TMyForm.Radio]\r\nInside.Caption=changed\r\n");
    TMyForm form(nullptr);
    auto* radio = Make<TRadioButton>(&form, "Radio");
    radio->Caption = "designed";
    auto* inside = Make<TLabel>(radio, "Inside");
    inside->Caption = "designed";
    translator->TranslateComponent(*radio, "TMyForm");
    EXPECT_EQ(Translate(form),
              "[TMyForm]\r\nRadio.Caption=changed\r\nRadio.Hint=changed\r\nCaption=\r\nHint=\r\n"
              "[TMyForm.Radio]\r\nInside.Caption=changed\r\n");
    EXPECT_EQ(radio->Caption, "designed");
    EXPECT_EQ(radio->Hint, "");
    EXPECT_EQ(inside->Caption, "designed");
}

TEST_F(TranslateTest, AFormOwnedByAFormSharesItsOwnersSectionAndKeys) {
    Start("EN", "[TMyForm]\r\nCaption=Outer\r\nHint=outer hint\r\n");
    TMyForm outer(nullptr);
    auto* inner = new TMyForm(&outer, "TOtherForm");
    inner->Caption = "inner designed";
    Make<TLabel>(inner, "InnerLabel")->Caption = "x";
    EXPECT_EQ(Translate(outer),
              "[TMyForm]\r\nCaption=Outer\r\nHint=outer hint\r\n"
              "InnerLabel.Hint=\r\nInnerLabel.Caption=x\r\n");
    EXPECT_EQ(inner->Caption, "Outer");
    EXPECT_EQ(inner->Hint, "outer hint");
}

TEST_F(TranslateTest, AFileThatCannotBeWrittenLeavesTheTextsAsDesigned) {
    Start("EN", "[TMyForm]\r\nCaption=From file\r\n");
    ovtest::SetReadOnly(Lng(), true);
    auto form = LabelledForm();
    EXPECT_EQ(Translate(*form), "[TMyForm]\r\nCaption=From file\r\n");
    EXPECT_EQ(form->Caption, "From file");
    EXPECT_EQ(static_cast<TLabel*>(form->Components()[0])->Caption, "（无可用的参数）");
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"Orvale7.lng", "kdwusr70.ini"}));
}

// A language file is a few kilobytes; one above the limit, 1 MB as the
// README promises, is no translation, and is neither read (each lookup
// would scan it) nor written.
TEST_F(TranslateTest, ALanguageFileAboveTheLimitIsNeitherReadNorWritten) {
    const std::size_t limit = 1048576;
    const std::string translated = "[TMyForm]\r\nCaption=From file\r\n";
    const std::string padding = ";" + std::string(limit - translated.size() - 3, '.') + "\r\n";
    Start("EN", translated + padding + ";");
    auto over = LabelledForm();
    EXPECT_EQ(Translate(*over), translated + padding + ";");
    EXPECT_EQ(over->Caption, "语音盒参数设置");

    WriteBytes(Lng(), translated + padding);  // at the limit: an ordinary file
    auto at = LabelledForm();
    // The first key it adds takes it above the limit: nothing more is written.
    EXPECT_EQ(Translate(*at), translated + padding + "Hint=\r\n");
    EXPECT_EQ(at->Caption, "From file");
}

TEST_F(TranslateTest, NoLanguageFileMeansNothingIsTouched) {
    WriteBytes(dir.File("kdwusr70.ini"), "[语言设置]\r\n系统语言=EN\r\n");
    TTranslator t(dir.Path());
    t.LoadLanguageFile(Lng());
    auto form = LabelledForm();
    t.TranslateForm(*form);
    t.WriteValue("TMyForm", "Caption", "x");
    EXPECT_EQ(form->Caption, "语音盒参数设置");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"kdwusr70.ini"});
}
