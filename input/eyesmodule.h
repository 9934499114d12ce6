#pragma once

// The blink detector's OpenCV half, built as a module of its own (kelocv) that the program loads
// only when a camera or a video is first opened: most users never choose a camera, and OpenCV
// with its capture back ends would otherwise be loaded and relocated at every start. A plain C
// interface, so that the module and the program need not share a compiler's C++ ABI.

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define KELO_EYES_EXPORT __declspec(dllexport)
#else
#define KELO_EYES_EXPORT __attribute__((visibility("default")))
#endif

enum { KELO_EYES_VERSION = 1, KELO_EYES_WIDTH = 320, KELO_EYES_HEIGHT = 240, KELO_EYES_RECTS = 64 };

// What a source is: a camera by the capture library's index, a camera by device path, a video
// file, or an image sequence ("dir/%03d.png").
enum KeloEyesSource { KELO_EYES_INDEX, KELO_EYES_DEVICE, KELO_EYES_FILE };

// One frame searched: the annotated picture goes to pixels (KELO_EYES_WIDTH x KELO_EYES_HEIGHT,
// 3 bytes a pixel in blue, green, red order, rows packed), the eyes found to rects (x, y, width,
// height; at most KELO_EYES_RECTS of them, found counts them all).
typedef struct KeloEyesFrame
{
    unsigned char *pixels;
    int rects[KELO_EYES_RECTS][4];
    int rectCount;
    int found;
    double stepMs;
} KeloEyesFrame;

typedef struct KeloEyesApi
{
    int version;
    // The eye cascade in path, or null when it is missing or is not a cascade.
    void *(*loadCascade)(const char *path);
    void (*freeCascade)(void *cascade);
    // An opened source, or null when it could not be opened; path is unused for an index.
    void *(*open)(int kind, const char *path, int index);
    // 1: a frame is in out; 0: the read failed (a camera away, the end of a file); -1: the frame
    // was not 8-bit colour and is skipped. cascade may be null: the frame is shown unsearched.
    int (*read)(void *source, void *cascade, KeloEyesFrame *out);
    void (*close)(void *source);
} KeloEyesApi;

// The module's one entry point, looked up by this name.
KELO_EYES_EXPORT const KeloEyesApi *kelo_eyes_api(void);

#ifdef __cplusplus
}
#endif
