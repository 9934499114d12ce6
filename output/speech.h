#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class FliteVoice;
class QTextToSpeech;

// The program's voice: what lights and what was typed, said through the system's speech engine.
// The engine starts with the first thing to say, so a user who never turns speech on loads none.
// Without an engine, a voice or an audio output, nothing is said and one line on stderr says why.
class Speech : public QObject
{
    Q_OBJECT
public:
    Speech();
    ~Speech() override;

    // Cuts short whatever is being said and says text.
    void say(const QString &text);
    void stop();
    // Language of the labels ("en", "fr", ...): a voice of that language where one exists.
    void setLanguage(const QString &code);
    // Names of the voices of the current language; the chosen one by its name, or the engine's
    // default for an empty or unknown name.
    QStringList voices();
    void setVoice(const QString &name);
    // Rate from -100 (slowest) to 100 (fastest), 0 the engine's normal; volume 0 to 100.
    void setRate(int rate);
    void setVolume(int volume);
    bool speaking() const;

private:
    QTextToSpeech *engine();
    void apply();
    void fail(const QString &why);

    bool useFlite();

    std::unique_ptr<QTextToSpeech> tts;
#ifdef KELO_FLITE
    std::unique_ptr<FliteVoice> flite;
#endif
    bool failed = false;
    int restarts = 0;
    QString language = QStringLiteral("en");
    QString voiceName;
    int rate = 0;
    int volume = 100;
};
