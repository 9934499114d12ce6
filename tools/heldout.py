#!/usr/bin/env python3
"""Held-out phrases for bench_typing: sentences of 3 to 10 words, letters only, from text that
no context model was built from (Debian's fortunes packages, French man pages).

    tools/heldout.py LANGUAGE ROOT > phrases.txt      (ROOT: where the packages are unpacked)

en: fortunes-min and fortunes; de: fortunes-de; es: fortunes-es; fr: manpages-fr (section 1).
The output is deterministic: every n-th sentence so that at most 500 are kept, in file order.
"""
import glob
import gzip
import os
import re
import sys

SOURCES = {
    "en": ["usr/share/games/fortunes/*"],
    "de": ["usr/share/games/fortunes/de/*"],
    "es": ["usr/share/games/fortunes/es/*"],
    "fr": ["usr/share/man/fr/man1/*.1.gz"],
}
LETTERS = {
    "en": "a-z",
    "de": "a-zäöüß",
    "es": "a-záéíóúüñ",
    "fr": "a-zàâäçèéêëîïôöùûüÿœæ",
}


def text_of(path):
    if path.endswith(".gz"):
        raw = gzip.open(path).read()
    else:
        raw = open(path, "rb").read()
    text = raw.decode("utf-8", errors="replace")
    if path.endswith(".gz"):
        # roff: drop requests and font escapes, keep the running text
        text = "\n".join(l for l in text.splitlines() if not l.startswith((".", "'")))
        text = re.sub(r"\\f[BIRP]|\\\(..|\\[-&e]|\\\*\(..", " ", text)
    return text


def main():
    language, root = sys.argv[1], sys.argv[2]
    word = re.compile("^[" + LETTERS[language] + "]+$")
    sentences = []
    seen = set()
    files = sorted(f for pattern in SOURCES[language] for f in glob.glob(os.path.join(root, pattern))
                   if os.path.isfile(f) and not f.endswith((".dat", ".u8")))
    for path in files:
        for sentence in re.split(r"[.!?]+\s|\n\s*\n|%\n", text_of(path)):
            words = re.sub(r"[,;:\"«»()]", " ", sentence).lower().split()
            if 3 <= len(set(words)) and len(words) <= 10 and all(word.match(w) for w in words):
                phrase = " ".join(words)
                if phrase not in seen:
                    seen.add(phrase)
                    sentences.append(phrase)
    step = max(1, len(sentences) // 500)
    for phrase in sentences[::step][:500]:
        print(phrase)


if __name__ == "__main__":
    main()
