// The program's one piece of shared state, at its starting values.
#include "app/scene.h"

SceneState scene;
