#include "model/diagram_tables.h"

namespace {

struct TrackColumn {
    int left;
    int width;
    int normal;
    int hover;
    int changed;
    const char* label;
};

// The eight boxes of a track row, in field order.
constexpr TrackColumn kTrackColumns[8] = {
    {75, 41, 189, 205, 206, "Prefix: "},
    {116, 32, 190, 209, 210, "Start sentinel: "},
    {148, 91, 191, 201, 202, "Data: Non-editable"},
    {239, 60, 192, 215, 216, "Terminator: "},
    {299, 60, 193, 207, 208, "Seperator: "},
    {359, 31, 194, 211, 212, "Stop sentinel: "},
    {390, 33, 195, 203, 204, "LRC: "},
    {423, 39, 196, 213, 214, "Suffix: "},
};

constexpr int kBoxHeight = 22;

}  // namespace

void InitDiagramTables(DiagramTables& t)
{
    for (int k = 0; k < formatFieldCount; ++k)
        t.fieldCaptions[k] = FieldInfoAt(k).caption;

    t.fieldBoxes[0] = {diagramOriginX, diagramOriginY, 42, kBoxHeight};
    t.hoverLabels[0] = "Data prefix: ";
    t.normalBitmapIds[0] = 183;
    t.hoverBitmapIds[0] = 197;
    t.changedBitmapIds[0] = 198;

    for (int track = 1; track <= 3; ++track) {
        const int top = diagramOriginY + diagramRowPitch * track;
        for (int c = 0; c < 8; ++c) {
            const int k = 1 + 8 * (track - 1) + c;
            const TrackColumn& col = kTrackColumns[c];
            t.fieldBoxes[k] = {col.left, top, col.width, kBoxHeight};
            t.hoverLabels[k] = col.label;
            t.normalBitmapIds[k] = col.normal;
            t.hoverBitmapIds[k] = col.hover;
            t.changedBitmapIds[k] = col.changed;
        }
    }

    t.fieldBoxes[25] = {diagramOriginX, diagramOriginY + 4 * diagramRowPitch, 42, kBoxHeight};
    t.hoverLabels[25] = "Data suffix: ";
    t.normalBitmapIds[25] = 188;
    t.hoverBitmapIds[25] = 199;
    t.changedBitmapIds[25] = 200;
}
