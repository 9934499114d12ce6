#pragma once

#include <QThread>

#include <string>

class Platform;

// Keyboard injector. Modifier state is process-wide, like a real keyboard.
class KeyM : public QThread
{
    Q_OBJECT
public:
    explicit KeyM(Platform *platform = nullptr);
    ~KeyM() override;

    // Process-wide injector state, exposed for tests.
    static int lastKey();
    static int modMode();
    // Whether the caret may have left the place the program last typed at (see Platform).
    bool caretMayHaveMoved();

public slots:
    void keyb(int vk);
    void chP(int plan);
    void text(const std::wstring &s);
    void special(int code);
    void modif(int mode);
    void up(int vk);
    void down(int vk);

private:
    void press(int vk);
    void release(int vk);
    int keyFor(char16_t unit, char16_t *typed) const;

    QThread workerThread;
    Platform &platform;
};
