#include "SyntheticForm.h"

#include <string>

using namespace platform;

namespace bench {

namespace {

template <class T>
T* Make(TComponent* owner, const std::string& name) {
    T* c = new T(owner);
    c->Name = name;
    return c;
}

void AddComponent(TBenchForm* form, int i) {
    const std::string n = std::to_string(i);
    switch (i % 8) {
    case 0: Make<TLabel>(form, "Label" + n)->Caption = "标签文字 " + n; break;
    case 1: Make<TEdit>(form, "Edit" + n)->Text = "编辑框 " + n; break;
    case 2: Make<TButton>(form, "Button" + n)->Caption = "按钮(&" + n + ")"; break;
    case 3: Make<TCheckBox>(form, "CheckBox" + n)->Caption = "选项 " + n; break;
    case 4: Make<TComboBox>(form, "ComboBox" + n)->Items = {"一", "二", "三"}; break;
    case 5: Make<TMemo>(form, "Memo" + n)->Text = "第一行\r\n第二行 " + n; break;
    case 6: Make<TGroupBox>(form, "GroupBox" + n)->Caption = "分组 " + n; break;
    default: Make<TBitBtn>(form, "BitBtn" + n)->Caption = "确定(&O)"; break;
    }
}

}  // namespace

std::unique_ptr<TBenchForm> MakeSyntheticForm(int componentCount) {
    auto form = std::make_unique<TBenchForm>(nullptr);
    form->Caption = "语音盒参数设置";
    for (int i = 0; i < componentCount; ++i) AddComponent(form.get(), i);
    return form;
}

}  // namespace bench
