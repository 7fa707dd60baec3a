#include "MzActor.h"

void MzActor::AddChild(MzActor* child) {
    child->UnlinkFromParent();
    child->parent = this;
    if (firstChild == nullptr) {
        firstChild = child;
        return;
    }
    MzActor* last = firstChild;
    while (last->nextSibling != nullptr)
        last = last->nextSibling;
    last->nextSibling = child;
    child->prevSibling = last;
}

void MzActor::UnlinkFromParent() {
    if (parent == nullptr) return;
    if (prevSibling != nullptr) {
        prevSibling->nextSibling = nextSibling;
    } else {
        parent->firstChild = nextSibling;
    }
    if (nextSibling != nullptr) nextSibling->prevSibling = prevSibling;
    parent = prevSibling = nextSibling = nullptr;
    flags |= kNeedsReplacing;
}
