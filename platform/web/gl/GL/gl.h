// OpenGL 1.1 as the web build offers it: only the calls and names the
// program uses, implemented by gl_layer.cpp over WebGL. It stands first on
// the web build's include path, so a call outside this set fails to
// compile instead of linking to something that does nothing.
//
// Depends on: nothing.
// Cannot: anything not declared here.
#pragma once

typedef unsigned int GLenum;
typedef unsigned int GLbitfield;
typedef int GLint;
typedef float GLfloat;
typedef double GLdouble;
typedef unsigned char GLboolean;

#define GL_FALSE 0
#define GL_TRUE 1

#define GL_DEPTH_BUFFER_BIT 0x00000100
#define GL_COLOR_BUFFER_BIT 0x00004000

#define GL_TRIANGLES 0x0004

#define GL_FRONT 0x0404
#define GL_BACK 0x0405
#define GL_FRONT_AND_BACK 0x0408

#define GL_LINE 0x1B01
#define GL_FILL 0x1B02

#define GL_DEPTH_TEST 0x0B71
#define GL_LIGHTING 0x0B50
#define GL_LIGHT_MODEL_TWO_SIDE 0x0B52
#define GL_FOG 0x0B60
#define GL_FOG_DENSITY 0x0B62
#define GL_FOG_MODE 0x0B65
#define GL_FOG_COLOR 0x0B66
#define GL_EXP2 0x0801

#define GL_LIGHT0 0x4000
#define GL_LIGHT1 0x4001
#define GL_AMBIENT 0x1200
#define GL_DIFFUSE 0x1201
#define GL_SPECULAR 0x1202
#define GL_POSITION 0x1203
#define GL_SHININESS 0x1601

#define GL_MODELVIEW 0x1700
#define GL_PROJECTION 0x1701
#define GL_MODELVIEW_MATRIX 0x0BA6

#ifdef __cplusplus
extern "C" {
#endif

void glClearColor(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha);
void glClear(GLbitfield mask);
void glFlush(void);
void glEnable(GLenum capability);
void glDisable(GLenum capability);
void glLineWidth(GLfloat width);
void glPolygonMode(GLenum face, GLenum mode);

void glMatrixMode(GLenum mode);
void glLoadIdentity(void);
void glPushMatrix(void);
void glPopMatrix(void);
void glMultMatrixf(const GLfloat* m);
void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z);
void glOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear,
             GLdouble zFar);
void glGetFloatv(GLenum name, GLfloat* values);

void glLightfv(GLenum light, GLenum name, const GLfloat* values);
void glLightModeli(GLenum name, GLint value);
void glMaterialfv(GLenum face, GLenum name, const GLfloat* values);
void glMaterialf(GLenum face, GLenum name, GLfloat value);
void glFogi(GLenum name, GLint value);
void glFogf(GLenum name, GLfloat value);
void glFogfv(GLenum name, const GLfloat* values);

void glBegin(GLenum mode);
void glNormal3f(GLfloat x, GLfloat y, GLfloat z);
void glVertex3f(GLfloat x, GLfloat y, GLfloat z);
void glEnd(void);

#ifdef __cplusplus
}
#endif
