// Configuration of the sample mascot folder, read once when the program starts.
// Settings are plain global variables named cfg_...; anything left out takes its default.

cfg_AppName <- "Momo";             // window title and tray tooltip
cfg_StartupScript <- "main.nut";   // run once before the first frame

// The window is cut to the characters' silhouette every frame. The silhouette is drawn into a
// mask at half the screen's resolution: edges stay smooth enough for clicking, and reading the
// mask back costs a quarter of a full-size one.
cfg_WindowMaskWidthScale <- 0.5;
cfg_WindowMaskHeightScale <- 0.5;

// The world is 5 units high: the screen's height. Width and depth follow the screen's aspect
// ratio. Momo is 1 unit tall, so she stands a fifth of the screen high.
cfg_WorldSizeY <- 5.0;
