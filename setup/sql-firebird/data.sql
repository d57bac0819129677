-- Default data of a new song database. The built-in categories are not stored, and a new
-- library starts empty, so this only describes the tables.
COMMENT ON TABLE songlist IS 'Media library';
COMMENT ON TABLE category IS 'User categories of the category tree';
COMMENT ON TABLE categorylist IS 'Songs of the user categories, in order';
COMMENT ON TABLE queuelist IS 'Play queue';
COMMENT ON TABLE requestlist IS 'Listener requests';
COMMENT ON TABLE historylist IS 'Play history';
