#pragma once
#include "platform/Unique.h"

// Owner of one COM or Windows Runtime interface reference: Release runs exactly once.
template <class Interface>
inline void ReleaseInterface(Interface* object) {
    object->Release();
}

template <class Interface>
using UniqueInterface = Unique<Interface*, &ReleaseInterface<Interface>>;
