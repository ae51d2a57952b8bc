// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "widgets/SystemSound.h"

#include <canberra.h>

#include <memory>
#include <mutex>

namespace inkveil {

namespace {

struct ContextDeleter
{
    void operator()(ca_context *context) const { ca_context_destroy(context); }
};

// One context for the life of the application: opening the sound server per sound is slow.
ca_context *soundContext()
{
    static std::unique_ptr<ca_context, ContextDeleter> context = [] {
        ca_context *created = nullptr;
        if (ca_context_create(&created) != CA_SUCCESS)
            return std::unique_ptr<ca_context, ContextDeleter>();
        // Through the desktop's sound server only: without one the sound is simply skipped,
        // rather than the raw sound device being tried and complaining on the terminal.
        ca_context_set_driver(created, "pulse");
        ca_context_change_props(created, CA_PROP_APPLICATION_NAME, "Inkveil", nullptr);
        return std::unique_ptr<ca_context, ContextDeleter>(created);
    }();
    return context.get();
}

} // namespace

QString SystemSound::eventId(const QString &name)
{
    if (name == QLatin1String("Glass"))
        return QStringLiteral("complete");
    return name.toLower();
}

void SystemSound::play(const QString &name)
{
    static std::mutex mutex;
    const std::lock_guard lock(mutex);
    if (ca_context *context = soundContext()) {
        const QByteArray id = eventId(name).toUtf8();
        ca_context_play(context, 0, CA_PROP_EVENT_ID, id.constData(), nullptr);
    }
}

} // namespace inkveil
