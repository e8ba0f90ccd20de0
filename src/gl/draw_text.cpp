// draw_text.cpp: short texts from the font sprite, one row of 26 case-less letter cells, centred on a point.
//
// Needs only the GL headers. The caller binds the font and sets colour and blending; this file changes neither.
#include "gl/gl_utils.h"
#include "gl/sprite_layout.h"

namespace {

// The letter cell of a byte, or -1: both cases of a letter share its cell; digits, blanks, punctuation and bytes
// beyond ASCII have none. The byte is taken as signed and the subtraction wraps in 8 bits, which keeps every byte
// from 128 up (negative) out of the letter range.
int fontCell(char c) {
    const int8_t v = static_cast<int8_t>(c);
    const int8_t k = static_cast<int8_t>(v > 96 ? v - 97 : v - 65);
    return k >= 0 && k < layout::FONT_LETTERS ? k : -1;
}

}  // namespace

void drawText(const char* text, uint8_t length, float x, float y, float char_width, float char_height) {
    const float top = y - char_height / 2.0f;
    const float bottom = top + char_height;
    float pen = x - (char_width / 2.0f) * static_cast<float>(length);

    glBegin(GL_QUADS);
    for (uint8_t i = 0; i < length; ++i) {
        const int k = fontCell(text[i]);
        if (k >= 0) {
            const double s0 = layout::columnS(k, layout::FONT_LETTERS);
            const double s1 = layout::columnS(k + 1, layout::FONT_LETTERS);
            glTexCoord2d(s0, 0.0);
            glVertex2f(pen, bottom);
            glTexCoord2d(s1, 0.0);
            glVertex2f(pen + char_width, bottom);
            glTexCoord2d(s1, 1.0);
            glVertex2f(pen + char_width, top);
            glTexCoord2d(s0, 1.0);
            glVertex2f(pen, top);
        }
        pen += char_width;  // a byte without a letter leaves a gap of one cell
    }
    glEnd();
    glFlush();
}
