// Ownership and placement: what the forms rely on when they are built and freed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/forms/Components.h"
#include "platform/runtime/TextLines.h"

using namespace platform;

namespace {

// Records its name in a shared log when destroyed.
class TTraced : public TWinControl {
public:
    TTraced(TComponent* owner, const char* name, std::vector<std::string>& log)
        : TWinControl(owner), log_(log) { Name = name; }
    ~TTraced() override { log_.push_back(Name); }

private:
    std::vector<std::string>& log_;
};

}  // namespace

TEST(ComponentOwnership, OwnerListsInCreationOrderAndFreesLastFirst) {
    std::vector<std::string> log;
    auto* form = new TForm(nullptr);
    auto* a = new TTraced(form, "a", log);
    auto* b = new TTraced(form, "b", log);
    new TTraced(a, "a1", log);
    new TTraced(form, "c", log);
    ASSERT_EQ(form->Components().size(), 3u);
    EXPECT_EQ(form->Components()[0], a);
    EXPECT_EQ(form->Components()[1], b);
    EXPECT_EQ(a->Components().size(), 1u);
    delete form;
    EXPECT_EQ(log, (std::vector<std::string>{"c", "b", "a", "a1"}));
}

TEST(ComponentOwnership, FreeingAnOwnedComponentTakesItOffItsOwnersList) {
    TForm form(nullptr);
    auto* a = new TButton(&form);
    auto* b = new TLabel(&form);
    delete a;
    ASSERT_EQ(form.Components().size(), 1u);
    EXPECT_EQ(form.Components()[0], b);
    EXPECT_EQ(b->Owner(), &form);
}

TEST(ComponentOwnership, DestroyComponentsEmptiesTheListEarly) {
    std::vector<std::string> log;
    TForm form(nullptr);
    new TTraced(&form, "x", log);
    new TTraced(&form, "y", log);
    form.DestroyComponents();
    EXPECT_TRUE(form.Components().empty());
    EXPECT_EQ(log, (std::vector<std::string>{"y", "x"}));
}

TEST(ControlPlacement, SetParentMovesBetweenControlLists) {
    TForm form(nullptr);
    auto* left = new TGroupBox(&form);
    auto* right = new TGroupBox(&form);
    auto* edit = new TEdit(&form);
    auto* check = new TCheckBox(&form);
    edit->SetParent(left);
    check->SetParent(left);
    EXPECT_EQ(left->Controls(), (std::vector<TControl*>{edit, check}));
    edit->SetParent(right);
    EXPECT_EQ(left->Controls(), (std::vector<TControl*>{check}));
    EXPECT_EQ(right->Controls(), (std::vector<TControl*>{edit}));
    EXPECT_EQ(edit->Parent(), right);
    edit->SetParent(right);  // placing again does not list it twice
    EXPECT_EQ(right->Controls().size(), 1u);
    edit->SetParent(nullptr);
    EXPECT_TRUE(right->Controls().empty());
    EXPECT_EQ(edit->Parent(), nullptr);
}

TEST(ControlPlacement, CyclesAreRefused) {
    TForm form(nullptr);
    auto* outer = new TGroupBox(&form);
    auto* inner = new TGroupBox(&form);
    EXPECT_TRUE(inner->SetParent(outer));
    EXPECT_FALSE(outer->SetParent(outer));
    EXPECT_FALSE(outer->SetParent(inner));
    EXPECT_EQ(outer->Parent(), nullptr);
    EXPECT_EQ(outer->Controls(), (std::vector<TControl*>{inner}));
}

TEST(ControlPlacement, FreeingAControlTakesItOffItsParent) {
    TForm form(nullptr);
    auto* box = new TGroupBox(&form);
    auto* a = new TEdit(&form);
    auto* b = new TEdit(&form);
    a->SetParent(box);
    b->SetParent(box);
    delete a;
    EXPECT_EQ(box->Controls(), (std::vector<TControl*>{b}));
}

TEST(ControlPlacement, FreeingAParentDetachesControlsOwnedElsewhere) {
    TForm form(nullptr);
    auto* edit = new TEdit(&form);
    {
        TGroupBox box(nullptr);
        edit->SetParent(&box);
    }
    EXPECT_EQ(edit->Parent(), nullptr);
    edit->SetParent(&form);  // must not touch the freed box
    EXPECT_EQ(form.Controls(), (std::vector<TControl*>{edit}));
}

namespace {

// Notes, when destroyed, whether it still had a parent it would reach back into.
class TParentProbe : public TEdit {
public:
    TParentProbe(TComponent* owner, bool& hadParent) : TEdit(owner), hadParent_(hadParent) {}
    ~TParentProbe() override { hadParent_ = Parent() != nullptr; }

private:
    bool& hadParent_;
};

}  // namespace

TEST(ControlPlacement, FormFreesControlsPlacedInEitherCreationOrder) {
    // The parent created after its child is freed first; the child must not
    // then reach back into it.
    bool earlyHadParent = true, lateHadParent = false;
    auto* form = new TForm(nullptr);
    auto* early = new TParentProbe(form, earlyHadParent);
    auto* box = new TGroupBox(form);
    auto* late = new TParentProbe(form, lateHadParent);
    early->SetParent(box);
    late->SetParent(box);
    box->SetParent(form);
    delete form;  // ASan also reports any use of a freed parent
    EXPECT_FALSE(earlyHadParent) << "the box, freed before it, did not let it go";
    EXPECT_TRUE(lateHadParent);  // freed first, while its box still stood
}

TEST(ItemText, ItemsEndEachWithCrLf) {
    EXPECT_EQ(ItemsToText({}), "");
    EXPECT_EQ(ItemsToText({"a", "", "b c"}), "a\r\n\r\nb c\r\n");
}

TEST(ItemText, SplitsAtAnyLineBreakAndAFinalBreakEndsTheLastItem) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitLines(""), V{});
    EXPECT_EQ(SplitLines("a"), V{"a"});
    EXPECT_EQ(SplitLines("a\r\n"), V{"a"});
    EXPECT_EQ(SplitLines("a\r\nb"), (V{"a", "b"}));
    EXPECT_EQ(SplitLines("a\rb\nc"), (V{"a", "b", "c"}));
    EXPECT_EQ(SplitLines("a\n\rb"), (V{"a", "", "b"}));
    EXPECT_EQ(SplitLines("\r\n\r\n"), (V{"", ""}));
    EXPECT_EQ(SplitLines("a\r\n\r\n"), (V{"a", ""}));
    const V items{"x", "", "y z"};
    EXPECT_EQ(SplitLines(ItemsToText(items)), items);
}
