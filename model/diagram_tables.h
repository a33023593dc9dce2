// The constant tables from which the view draws the format diagram.
#pragma once

#include <array>

#include "model/template_record.h"

struct FieldBox {
    int left;
    int top;
    int width;
    int height;

    // Strict on all four sides: the border lines belong to no box.
    bool Contains(int px, int py) const
    {
        return left < px && px < left + width && top < py && py < top + height;
    }
};

constexpr int diagramOriginX = 75;
constexpr int diagramOriginY = 180;
constexpr int diagramRowPitch = 30;
constexpr int disabledRowBitmapId = 217;

struct DiagramTables {
    std::array<FieldBox, formatFieldCount> fieldBoxes{};
    std::array<const char*, formatFieldCount> hoverLabels{};
    std::array<const char*, formatFieldCount> fieldCaptions{};
    std::array<int, formatFieldCount> normalBitmapIds{};
    std::array<int, formatFieldCount> hoverBitmapIds{};
    std::array<int, formatFieldCount> changedBitmapIds{};
};

// Fills every table; the tables never change afterwards.
void InitDiagramTables(DiagramTables& tables);
