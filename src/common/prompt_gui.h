#pragma once

// Routes the message and file seams to real wxWidgets dialogs.
void InstallGuiPrompts();
