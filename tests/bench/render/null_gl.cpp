// OpenGL entry points that do nothing, so that timing the frame code measures
// only our own work: the mesh walk, the calls' own overhead, the spin step.
// Only the calls that the scene code makes are here.
#include "platform/platform.h"

namespace {
const GLfloat kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

void glFogi(GLenum, GLint) {}
void glFogf(GLenum, GLfloat) {}
void glFogfv(GLenum, const GLfloat*) {}
void glMatrixMode(GLenum) {}
void glLoadIdentity() {}
void glOrtho(GLdouble, GLdouble, GLdouble, GLdouble, GLdouble, GLdouble) {}
void glLightModeli(GLenum, GLint) {}
void glLightfv(GLenum, GLenum, const GLfloat*) {}
void glEnable(GLenum) {}
void glDisable(GLenum) {}
void glClearColor(GLclampf, GLclampf, GLclampf, GLclampf) {}
void glClear(GLbitfield) {}
void glPushMatrix() {}
void glPopMatrix() {}
void glRotatef(GLfloat, GLfloat, GLfloat, GLfloat) {}
void glMultMatrixf(const GLfloat*) {}
void glPolygonMode(GLenum, GLenum) {}
void glMaterialfv(GLenum, GLenum, const GLfloat*) {}
void glMaterialf(GLenum, GLenum, GLfloat) {}
void glLineWidth(GLfloat) {}
void glBegin(GLenum) {}
void glEnd() {}
void glNormal3f(GLfloat, GLfloat, GLfloat) {}
void glVertex3f(GLfloat, GLfloat, GLfloat) {}
void glFlush() {}

// The spin step reads the product back; a rotation keeps it realistic.
void glGetFloatv(GLenum, GLfloat* out) {
    for (int i = 0; i < 16; ++i) {
        out[i] = kIdentity[i];
    }
}

BOOL SwapBuffers(HDC) {
    return TRUE;
}
