-- Version 3: play-limit maintenance reads the songs with a limit along an index.
CREATE INDEX IDX_songlist_playlimit ON songlist (playlimit_count);
COMMENT ON COLUMN category.ID IS '3';
