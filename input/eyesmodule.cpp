#include "eyesmodule.h"

#include <opencv2/imgproc.hpp>
#include <opencv2/objdetect.hpp>
#include <opencv2/videoio.hpp>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Red in blue, green, red order; boxes 2 pixels wide.
const cv::Scalar boxColor(0, 0, 255, 0);
const cv::Size minEye(15, 15);
const cv::Size maxEye(45, 45);

struct Source
{
    cv::VideoCapture capture;
    cv::Mat img, gray;
    std::vector<cv::Rect> eyes;
};

void *loadCascade(const char *path)
{
    auto *cascade = new cv::CascadeClassifier;
    try {
        if (cascade->load(path) && !cascade->empty())
            return cascade;
    } catch (const cv::Exception &) {
        // A file that is not a cascade can make the parser throw instead of failing.
    }
    delete cascade;
    return nullptr;
}

void freeCascade(void *cascade)
{
    delete static_cast<cv::CascadeClassifier *>(cascade);
}

void *open(int kind, const char *path, int index)
{
    auto *source = new Source;
    try {
        if (kind == KELO_EYES_INDEX)
            source->capture.open(index, cv::CAP_ANY);
        else if (kind == KELO_EYES_DEVICE)
            source->capture.open(path, cv::CAP_V4L2);
        else
            source->capture.open(path, std::strchr(path, '%') ? cv::CAP_IMAGES : cv::CAP_ANY);
    } catch (const cv::Exception &) {
    }
    if (source->capture.isOpened())
        return source;
    delete source;
    return nullptr;
}

int read(void *opened, void *cascade, KeloEyesFrame *out)
{
    using Clock = std::chrono::steady_clock;
    Source &source = *static_cast<Source *>(opened);
    cv::Mat &img = source.img;
    try {
        if (!source.capture.read(img))
            return 0;
    } catch (const cv::Exception &) {
        return 0;
    }
    // The hand-over is 8-bit BGR; anything else is skipped like a failed read.
    if (img.empty() || img.type() != CV_8UC3)
        return -1;

    const auto begin = Clock::now();
    // Straight into the receiver's buffer, which is packed as a Mat of that size is.
    cv::Mat shown(KELO_EYES_HEIGHT, KELO_EYES_WIDTH, CV_8UC3, out->pixels);
    cv::resize(img, shown, shown.size(), 0, 0, cv::INTER_LINEAR);
    cv::cvtColor(shown, source.gray, cv::COLOR_BGR2GRAY);
    cv::equalizeHist(source.gray, source.gray);
    source.eyes.clear();
    if (cascade)
        static_cast<cv::CascadeClassifier *>(cascade)->detectMultiScale(
            source.gray, source.eyes, 1.3, 3, 0, minEye, maxEye);
    out->found = int(source.eyes.size());
    out->rectCount = std::min<int>(out->found, KELO_EYES_RECTS);
    for (int i = 0; i < out->found; ++i) {
        const cv::Rect &eye = source.eyes[size_t(i)];
        cv::rectangle(shown, eye, boxColor, 2, cv::LINE_8, 0);
        if (i < out->rectCount) {
            const int rect[4] = { eye.x, eye.y, eye.width, eye.height };
            std::copy(rect, rect + 4, out->rects[i]);
        }
    }
    out->stepMs = std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
    return 1;
}

void close(void *source)
{
    delete static_cast<Source *>(source);
}

const KeloEyesApi api = { KELO_EYES_VERSION, loadCascade, freeCascade, open, read, close };

} // namespace

const KeloEyesApi *kelo_eyes_api(void)
{
    return &api;
}
