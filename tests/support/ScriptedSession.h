#pragma once

#include "extract/Session.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/MemoryFileSystem.h"
#include "tests/support/ScriptedProvider.h"

namespace z83::test {

// A session loaded on a scripted provider and an in-memory disk (documents /docs), loading forgotten.
struct ScriptedSession {
    FakeDesktop desktop;
    MemoryFileSystem fileSystem;
    ScriptedProvider* provider = nullptr;
    Session session{desktop,
                    [this] {
                        auto scripted = std::make_unique<ScriptedProvider>();
                        provider = scripted.get();
                        return scripted;
                    },
                    fileSystem};

    ScriptedSession() {
        desktop.documents = "/docs";
        session.Load();
        provider->calls.clear();
        desktop.messages.clear();
    }
};

} // namespace z83::test
