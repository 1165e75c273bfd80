#ifndef HIGHDPI_H
#define HIGHDPI_H

// Lets the window scale with the screen's pixel density and draw its icons and logo from their @2x
// files on screens scaled to 200 %. Call before the application object is created.
void Enable_High_Dpi_Support();

#endif // HIGHDPI_H
