#include "windowregistry.h"

#include <algorithm>

WindowRegistry &WindowRegistry::Get()
{
    static WindowRegistry registry;
    return registry;
}

void WindowRegistry::Register(int id, QWidget *window)
{
    std::erase_if(entries, [id](const Entry &e) { return e.id == id; });
    entries.push_back({window, id});
}

QWidget *WindowRegistry::Find(int id)
{
    const auto it = std::find_if(entries.begin(), entries.end(),
                                 [id](const Entry &e) { return e.id == id; });
    if (it == entries.end())
        return nullptr;
    if (!it->window) {
        entries.erase(it);
        return nullptr;
    }
    return it->window;
}

void WindowRegistry::Post(int id, unsigned message, WPARAM wParam)
{
    if (QWidget *window = Find(id))
        postAppMessage(window, message, wParam, 0);
}
