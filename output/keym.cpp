#include "keym.h"

#include "platform.h"
#include "wordlist.h"

namespace {
// One keyboard per process: the last key pressed and the pending modifier mode.
int g_lastKey = 0;
int g_modMode = 0;
const WordList *g_wordList = nullptr;
} // namespace

KeyM::KeyM(Platform *platform)
    : platform(platform ? *platform : Platform::system())
{
    moveToThread(&workerThread);
    workerThread.start(QThread::InheritPriority);
}

KeyM::~KeyM()
{
    workerThread.quit();
    workerThread.wait();
}

int KeyM::lastKey()
{
    return g_lastKey;
}

int KeyM::modMode()
{
    return g_modMode;
}

void KeyM::press(int vk)
{
    platform.keyEvent(vk & 0xff, false);
}

void KeyM::release(int vk)
{
    platform.keyEvent(vk & 0xff, true);
}

void KeyM::keyb(int vk)
{
    g_lastKey = vk;
    press(vk);
    release(vk);
}

void KeyM::chP(int) { }

void KeyM::langp(int language)
{
    if (const WordList *list = WordList::forLanguage(language))
        g_wordList = list;
}

QStringList KeyM::t9(QStringView prefix)
{
    if (prefix.isEmpty() || !g_wordList)
        return QStringList(5, QString());
    return g_wordList->complete(prefix);
}

void KeyM::text(const std::wstring &) { }

void KeyM::special(int) { }

void KeyM::modif(int mode)
{
    g_modMode = (mode == 5 && g_modMode != 0) ? 0 : mode;
}

void KeyM::up(int vk)
{
    release(vk == 0 ? g_lastKey : vk);
}

void KeyM::down(int vk)
{
    g_lastKey = vk;
    press(vk);
}
