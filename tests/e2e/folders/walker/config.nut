// End-to-end test folder: one character standing in the middle of the screen, logging the mouse.
cfg_AppName <- "E2E Walker";
cfg_StartupScript <- "startup.nut";
cfg_WindowMaskWidthScale <- 0.5;
cfg_WindowMaskHeightScale <- 0.5;
cfg_WorldSizeY <- 5.0;
