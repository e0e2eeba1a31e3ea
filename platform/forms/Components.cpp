#include "platform/forms/Components.h"

#include <algorithm>

namespace platform {

namespace {

template <class T>
void EraseOne(std::vector<T*>& list, const T* item) {
    auto it = std::find(list.begin(), list.end(), item);
    if (it != list.end()) list.erase(it);
}

}  // namespace

TComponent::TComponent(TComponent* owner) : owner_(owner) {
    if (owner_) owner_->components_.push_back(this);
}

TComponent::~TComponent() {
    DestroyComponents();
    if (owner_) EraseOne(owner_->components_, this);
}

void TComponent::DestroyComponents() {
    // Taken off the list before it is freed so that its destructor does not
    // search for itself, and so that it never sees a half-destroyed owner.
    while (!components_.empty()) {
        TComponent* last = components_.back();
        components_.pop_back();
        last->owner_ = nullptr;
        delete last;
    }
}

TControl::~TControl() {
    SetParent(nullptr);
}

bool TControl::SetParent(TWinControl* parent) {
    if (parent == parent_) return true;
    for (TControl* p = parent; p; p = p->parent_) {
        if (p == this) return false;
    }
    if (parent_) EraseOne(parent_->controls_, this);
    parent_ = parent;
    if (parent_) parent_->controls_.push_back(this);
    return true;
}

TWinControl::~TWinControl() {
    // The controls may be owned elsewhere and outlive this one.
    for (TControl* c : controls_) c->parent_ = nullptr;
}

TForm::~TForm() {
    // The window goes first: it refers to the controls it shows.
    Window.reset();
}

std::string ItemsToText(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) {
        text += item;
        text += "\r\n";
    }
    return text;
}

}  // namespace platform
