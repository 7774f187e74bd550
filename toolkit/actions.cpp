#include "toolkit/actions.h"

#include "toolkit/application.h"

void TAction::Execute()
{
    if (!OnExecute)
        return;
    try {
        OnExecute();
    } catch (...) {
        if (Application == nullptr)
            throw; // no error display without the application object
        Application->HandleException(std::current_exception());
    }
}

TAction& TActionManager::Add(TAction action)
{
    m_actions.push_back(std::make_unique<TAction>(std::move(action)));
    return *m_actions.back();
}

TAction* TActionManager::Find(const std::string& name) const
{
    for (const auto& action : m_actions)
        if (action->Name == name)
            return action.get();
    return nullptr;
}
