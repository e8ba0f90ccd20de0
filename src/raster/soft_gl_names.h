// soft_gl_names.h: forced in front of the game's drawing sources (src/gl) when they are built for the software
// rasteriser: every gl* call the drawing makes is renamed to the rasteriser's own function, so the very same drawing
// code paints into a pixel buffer without any GL library, and a native program can link both this and OSMesa.
// Must come before <GL/gl.h>, whose declarations it renames too. Depends on nothing.
#pragma once

#define glAlphaFunc softAlphaFunc
#define glBegin softBegin
#define glBindTexture softBindTexture
#define glBlendFunc softBlendFunc
#define glClear softClear
#define glClearColor softClearColor
#define glColor3ub softColor3ub
#define glDisable softDisable
#define glEnable softEnable
#define glEnd softEnd
#define glFlush softFlush
#define glGenTextures softGenTextures
#define glLoadIdentity softLoadIdentity
#define glMatrixMode softMatrixMode
#define glOrtho softOrtho
#define glTexCoord2d softTexCoord2d
#define glTexImage2D softTexImage2D
#define glTexParameteri softTexParameteri
#define glVertex2f softVertex2f
#define glVertex3f softVertex3f
#define glViewport softViewport

// The drawing's own entry points get names of their own too, so that one native program can hold both the game's
// drawing on OSMesa and the same drawing on this rasteriser (the comparison test).
#define textures softTextures
#define SPRITE_FILES SOFT_SPRITE_FILES
#define uploadSprite softUploadSprite
#define loadSprites softLoadSprites
#define setupView softSetupView
#define windowSize softWindowSize
#define drawScene softDrawScene
#define drawMapgrid softDrawMapgrid
#define drawBlock softDrawBlock
#define drawGround softDrawGround
#define drawBomb softDrawBomb
#define drawBoom softDrawBoom
#define drawBoomPart softDrawBoomPart
#define drawPlayer softDrawPlayer
#define drawText softDrawText
#define drawScoreboard softDrawScoreboard
