#include "fakes/RecordingCanvas.h"

namespace {

RecordingCanvas::Call MakeCall(RecordingCanvas::Op op) {
    RecordingCanvas::Call call;
    call.op = op;
    return call;
}

} // namespace

void RecordingCanvas::FillWhite(const CanvasRect& rect) {
    Call call = MakeCall(Op::FillWhite);
    call.rect = rect;
    calls.push_back(call);
}

void RecordingCanvas::FillSolid(const CanvasRect& rect, CanvasColor color) {
    Call call = MakeCall(Op::FillSolid);
    call.rect = rect;
    call.color = color;
    calls.push_back(call);
}

CanvasPen RecordingCanvas::SelectSolidPen(CanvasColor color, int width) {
    const CanvasPen pen = nextPen++;
    pens[pen] = PenState{color, width, selected};
    const CanvasPen previous = selected;
    selected = pen;
    ++pensCreated;
    Call call = MakeCall(Op::SelectSolidPen);
    call.color = color;
    call.width = width;
    call.pen = previous;
    calls.push_back(call);
    curveOf[pen] = curves.size();
    curves.push_back(Curve{color, width, {}});
    return previous;
}

void RecordingCanvas::RestorePen(CanvasPen previous) {
    Call call = MakeCall(Op::RestorePen);
    call.pen = previous;
    calls.push_back(call);
    const auto found = pens.find(selected);
    if (found == pens.end() || found->second.replaced != previous) {
        ++penMisuses;
    } else {
        ++pensReleased;
        pens.erase(found);
    }
    selected = previous;
}

void RecordingCanvas::MoveTo(std::int32_t x, std::int32_t y) {
    Call call = MakeCall(Op::MoveTo);
    call.x = x;
    call.y = y;
    calls.push_back(call);
    penX = x;
    penY = y;
    AddCurvePoint(x, y);
}

void RecordingCanvas::LineTo(std::int32_t x, std::int32_t y) {
    Call call = MakeCall(Op::LineTo);
    call.x = x;
    call.y = y;
    calls.push_back(call);
    Segment segment{penX, penY, x, y, selected, 0, 0};
    const auto found = pens.find(selected);
    if (found != pens.end()) {
        segment.color = found->second.color;
        segment.width = found->second.width;
    }
    segments.push_back(segment);
    penX = x;
    penY = y;
    AddCurvePoint(x, y);
}

void RecordingCanvas::SetTransparentBackground() {
    calls.push_back(MakeCall(Op::SetTransparentBackground));
    transparent = true;
}

void RecordingCanvas::SetTextAlignCenterTop() {
    calls.push_back(MakeCall(Op::SetTextAlignCenterTop));
    centredTop = true;
}

void RecordingCanvas::WriteText(std::int32_t x, std::int32_t y, const char* text, int length) {
    Call call = MakeCall(Op::WriteText);
    call.x = x;
    call.y = y;
    call.text.assign(text, length > 0 ? static_cast<std::size_t>(length) : 0u);
    calls.push_back(call);
    texts.push_back(Text{x, y, call.text, transparent, centredTop, TextStyle{}});
}

void RecordingCanvas::WriteStyledText(std::int32_t x, std::int32_t y, const char* text, int length,
                                      const TextStyle& style) {
    Call call = MakeCall(Op::WriteStyledText);
    call.x = x;
    call.y = y;
    call.text.assign(text, length > 0 ? static_cast<std::size_t>(length) : 0u);
    call.style = style;
    calls.push_back(call);
    texts.push_back(Text{x, y, call.text, true, style.align == TextAlign::Center, style});
}

void RecordingCanvas::AddCurvePoint(std::int32_t x, std::int32_t y) {
    const auto found = curveOf.find(selected);
    if (found != curveOf.end()) {
        curves[found->second].points.emplace_back(x, y);
    }
}

std::vector<RecordingCanvas::Segment> RecordingCanvas::SegmentsWithContextPen() const {
    std::vector<Segment> result;
    for (const Segment& segment : segments) {
        if (segment.pen == ContextPen) {
            result.push_back(segment);
        }
    }
    return result;
}

void RecordingCanvas::Clear() {
    *this = RecordingCanvas{};
}
