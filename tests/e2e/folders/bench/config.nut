// Measuring folder: the sample character walking to and fro, counting frames.
cfg_AppName <- "Bench Walker";
cfg_StartupScript <- "startup.nut";
cfg_WindowMaskWidthScale <- 0.5;
cfg_WindowMaskHeightScale <- 0.5;
cfg_WorldSizeY <- 5.0;
